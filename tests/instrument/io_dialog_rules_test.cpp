// The connection dialog's rules: models, lists, clamping, list positions,
// controls shown, tool tips and the hardware check's status line.
#include "instrument/io_dialog_rules.h"

#include <gtest/gtest.h>

#include <memory>

#include "instrument/hw_commands.h"
#include "runtime/report.h"

using namespace tarvio;

TEST(IoDialog, PlatformSelectsModelAndConnectionList) {
  EXPECT_EQ(instrument_model(""), 0);
  EXPECT_EQ(instrument_model("b"), 1);
  EXPECT_EQ(instrument_model("c"), 2);
  EXPECT_EQ(connection_list(0), (std::vector<std::string>{"RS232", "GPIB", "TCPIP"}));
  EXPECT_EQ(connection_list(1), (std::vector<std::string>{"RS232", "GPIB"}));
  EXPECT_EQ(connection_list(2), (std::vector<std::string>{"GPIB", "TCP/IP"}));
}

TEST(IoDialog, IncomingRecordIsClampedFieldByField) {
  Configuration c = connection_defaults();
  c.GPIB = {20, 40, -5};
  c.RS232.port = 12;
  c.RS232.baudrate = 300;
  c.TCPIP.board = 3;
  Configuration p = prepare_connection(c, 0);
  EXPECT_EQ(p.GPIB.board, 15);
  EXPECT_EQ(p.GPIB.primary, 30);
  EXPECT_EQ(p.GPIB.secondary, -1);
  EXPECT_EQ(p.RS232.port, 9);
  EXPECT_EQ(p.RS232.baudrate, std::stod(baud_rate_list()[0]));
  EXPECT_EQ(p.TCPIP.board, 0);
  c.RS232.baudrate = 1e7;
  c.GPIB = {-1, -1, 99};
  c.RS232.port = 0;
  p = prepare_connection(c, 0);
  EXPECT_EQ(p.RS232.baudrate, std::stod(baud_rate_list()[2]));
  EXPECT_EQ(p.GPIB.board, 0);
  EXPECT_EQ(p.GPIB.primary, 0);
  EXPECT_EQ(p.GPIB.secondary, 31);
  EXPECT_EQ(p.RS232.port, 1);
}

TEST(IoDialog, AbsentRecordGivesDefaults) {
  Configuration p = prepare_connection(std::nullopt, 0);
  EXPECT_EQ(p.type, "GPIB");
  EXPECT_EQ(p.GPIB.primary, 19);
  EXPECT_EQ(p.GPIB.secondary, -1);
  EXPECT_EQ(p.RS232.port, 1);
  EXPECT_EQ(p.RS232.baudrate, 9600);
  EXPECT_EQ(p.RS232.handshake, "Xon/Xoff");
  EXPECT_EQ(p.TCPIP.address, "0.0.0.0");
  EXPECT_EQ(p.BBGtype, "MEM-C");
}

struct TypeCase {
  int model;
  const char* type;
  const char* kept;
};
class TypeNotOffered : public ::testing::TestWithParam<TypeCase> {};
TEST_P(TypeNotOffered, BecomesGpib) {
  Configuration c = connection_defaults();
  c.type = GetParam().type;
  EXPECT_EQ(prepare_connection(c, GetParam().model).type, GetParam().kept);
}
INSTANTIATE_TEST_SUITE_P(Types, TypeNotOffered,
                         ::testing::Values(TypeCase{1, "TCPIP", "GPIB"}, TypeCase{2, "RS232", "GPIB"},
                                           TypeCase{2, "tcpip", "tcpip"}, TypeCase{0, "rs232", "rs232"},
                                           TypeCase{1, "RS232", "RS232"}, TypeCase{0, "USB", "GPIB"}));

TEST(IoDialog, ListPositionsBecomeFieldValues) {
  auto kinds = connection_list(2);
  EXPECT_EQ(list_entry_value(kinds, 2), "TCPIP");  // stored without the slash
  EXPECT_EQ(list_entry_value(kinds, 1), "GPIB");
  EXPECT_EQ(list_entry_value(kinds, 0), "GPIB");  // outside: first entry
  EXPECT_EQ(list_entry_value(kinds, 7), "GPIB");
  EXPECT_EQ(list_position(kinds, "TCPIP"), 2);
  EXPECT_EQ(list_position(handshake_list(), "RTS/CTS"), 3);
  EXPECT_EQ(handshake_list()[1], "Xon/Xoff");
}

TEST(IoDialog, OnlyTheSelectedKindsControlsShow) {
  EXPECT_EQ(visible_controls("GPIB"), (std::vector<std::string>{"GPIB.board", "GPIB.primary", "GPIB.secondary"}));
  EXPECT_EQ(visible_controls("rs232"), (std::vector<std::string>{"RS232.port", "RS232.baudrate", "RS232.handshake"}));
  EXPECT_EQ(visible_controls("TCPIP"), (std::vector<std::string>{"TCPIP.address"}));
}

TEST(IoDialog, HandshakeTipFollowsTheEntry) {
  EXPECT_EQ(handshake_tip(2),
            "Set the following Instrument Parameters\r\n  Transmit Pace = None\r\n  Receive Pace  = Xon\r\n"
            "  RTS/CTS       = Off");
  EXPECT_EQ(handshake_tip(3),
            "Set the following Instrument Parameters\r\n  Transmit Pace = None\r\n  Receive Pace  = None\r\n"
            "  RTS/CTS       = RTS/CTS Pacing");
  EXPECT_EQ(handshake_tip(1), handshake_tip(9));
  EXPECT_NE(handshake_tip(1).find("RTS/CTS       = Off"), std::string::npos);
}

TEST(IoDialog, CheckHardwareShowsCheckingThenTheVerdict) {
  auto rec = std::make_shared<RecordingReporter>();
  auto old = set_reporter(rec);
  transport_options().timeout_s = 0.5;
  Configuration c = connection_defaults();
  c.type = "TCPIP";
  c.TCPIP.address = "127.0.0.1:1";  // nothing listens on port 1
  std::string shown = check_hardware(c);
  transport_options() = TransportOptions{};
  set_reporter(old);
  ASSERT_EQ(rec->statuses.size(), 2u);
  EXPECT_EQ(rec->statuses[0], "... Checking ...");
  EXPECT_EQ(rec->statuses[1], shown);
  EXPECT_NE(shown.find("cannot connect"), std::string::npos) << shown;
}
