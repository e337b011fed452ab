// The rules of the I/O connection dialog (KV_SigGen) as plain functions: the
// instrument model from the platform text, the clamping of an incoming
// record, the lists offered, list positions to field values, which controls
// show, the tool tips and the hardware check. The window itself belongs to
// the user interface.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "records/records.h"

namespace tarvio {

// "b" gives model 1, "c" model 2, anything else (no platform) model 0.
int instrument_model(const std::string& platform);

// Connection kinds offered: model 0 "RS232", "GPIB", "TCPIP"; model 1
// "RS232", "GPIB"; model 2 "GPIB", "TCP/IP".
std::vector<std::string> connection_list(int model);
// Baud rates offered (ascending; the record is clamped to the first and
// third entry) and handshakes ("None", "Xon/Xoff" software pacing,
// "RTS/CTS" hardware pacing).
std::vector<std::string> baud_rate_list();
std::vector<std::string> handshake_list();

// The record's defaults (type "GPIB", board 0, primary 19, secondary -1,
// port 1, 9600 baud, "Xon/Xoff", address "0.0.0.0", ...).
Configuration connection_defaults();

// The record as the dialog starts with it: absent gives the defaults;
// GPIB.board to [0, 15], GPIB.primary to [0, 30], GPIB.secondary to
// [-1, 31], RS232.port to [1, 9], RS232.baudrate to [first, third] baud-rate
// entry, TCPIP.board set to 0; a type the model's list does not offer
// (compared without regard to case, "TCPIP" matching "TCP/IP") becomes
// "GPIB".
Configuration prepare_connection(const std::optional<Configuration>& incoming, int model);

// The field value of a list entry chosen by 1-based position: a position
// outside the list gives the first entry; "TCP/IP" is stored as "TCPIP".
std::string list_entry_value(const std::vector<std::string>& list, int position);
// The 1-based position of a field value in a list (case-insensitive,
// "TCPIP" finds "TCP/IP"); 1 when absent.
int list_position(const std::vector<std::string>& list, const std::string& value);

// Controls shown for a connection kind: "GPIB" board, primary, secondary;
// "RS232" port, baudrate, handshake; "TCPIP" address (as field paths).
std::vector<std::string> visible_controls(const std::string& type);

// Tool tips.
std::string primary_address_tip();
std::string baud_rate_tip();
std::string handshake_tip(int position);  // 1-based handshake list position

// Check hardware: shows "... Checking ..." on the status line, runs
// VerifyComm on the record as edited and shows its description, or the
// error text when the call raises. Returns the text shown last.
std::string check_hardware(const Configuration& edited);

}  // namespace tarvio
