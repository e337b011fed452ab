#!/usr/bin/env python3
"""Writes the C calling forms of every registered operation.

Reads the library's source files, finds each operation's one registration
(TARVIO_OP or TARVIO_OP_VARARGS with its name and its declared numbers of
inputs and outputs) and writes:
  HEADER  the declarations of mlfX and mlxX (and mlfNX, mlfVX for operations
          with variable lists), included by include/tarvio/tarvio.h;
  SOURCE  their definitions, which pass the arrays to the library's generic
          call, and the table of operations they were made from (a test
          compares it with the library's operation table).

usage: gen_forms.py HEADER SOURCE FILE.cpp...
"""
import re
import sys

REGISTRATION = re.compile(r'\bTARVIO_OP(_VARARGS)?\(\s*"([A-Za-z_][A-Za-z0-9_]*)"\s*,\s*(\d+)\s*,\s*(\d+)\s*,')


def operations(files):
    ops = {}
    for path in files:
        with open(path, encoding="utf-8") as f:
            text = f.read()
        for m in REGISTRATION.finditer(text):
            variable, name, nin, nout = m.group(1) is not None, m.group(2), int(m.group(3)), int(m.group(4))
            ops[name] = (nin, nout, variable)  # a later registration replaces an earlier one
    return [(name,) + ops[name] for name in sorted(ops)]


def ins(n):
    return ", ".join(f"mxArray* in{k}" for k in range(1, n + 1))


def places(first, last):
    return [f"mxArray** out{k}" for k in range(first, last + 1)]


def params(*parts):
    flat = [p for part in parts for p in (part if isinstance(part, list) else [part]) if p]
    return ", ".join(flat) if flat else "void"


def declarations(name, nin, nout, variable):
    ret = "mxArray*" if nout else "int"
    out = []
    if variable:
        out.append(f"{ret} mlf{name}({params(places(2, nout), 'mxArray* in1', '...')});")
        out.append(f"int mlfN{name}({params('int nargout', places(1, nout), 'mxArray* in1', '...')});")
        out.append(f"int mlfV{name}(mxArray* in1, ...);")
    else:
        out.append(f"{ret} mlf{name}({params(places(2, nout), ins(nin))});")
    out.append(f"int mlx{name}(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[]);")
    return out


def place_array(nout, first):
    # The places of outputs 1..nout; output 1 of an mlf form is its return value.
    items = ["NULL" if k < first else f"out{k}" for k in range(1, nout + 1)]
    return f"mxArray** places[{max(nout, 1)}] = {{{', '.join(items) if items else 'NULL'}}};"


def definitions(name, nin, nout, variable):
    q = f'"{name}"'
    out = []
    if variable:
        body_f = f"""  va_list ap;
  va_start(ap, in1);
  {place_array(nout, 2)}
  mxArray* first = tarvio_form_varargs({q}, 0, 0, {nout}, places, in1, ap);
  va_end(ap);"""
        if nout:
            out.append(f"mxArray* mlf{name}({params(places(2, nout), 'mxArray* in1', '...')}) {{\n{body_f}\n  return first;\n}}")
        else:
            out.append(f"int mlf{name}(mxArray* in1, ...) {{\n{body_f}\n  (void)first;\n  return tarvio_form_status();\n}}")
        out.append(f"""int mlfN{name}({params('int nargout', places(1, nout), 'mxArray* in1', '...')}) {{
  va_list ap;
  va_start(ap, in1);
  {place_array(nout, 1)}
  tarvio_form_varargs({q}, 1, nargout < 0 ? 0 : nargout, {nout}, places, in1, ap);
  va_end(ap);
  return tarvio_form_status();
}}""")
        out.append(f"""int mlfV{name}(mxArray* in1, ...) {{
  va_list ap;
  va_start(ap, in1);
  mxArray** places[1] = {{NULL}};
  tarvio_form_varargs({q}, 2, 0, 0, places, in1, ap);
  va_end(ap);
  return tarvio_form_status();
}}""")
    else:
        in_array = f"mxArray* in[{max(nin, 1)}] = {{{', '.join(f'in{k}' for k in range(1, nin + 1)) or 'NULL'}}};"
        call = f"tarvio_form_fixed({q}, {nout}, places, {nin}, in)"
        if nout:
            out.append(f"mxArray* mlf{name}({params(places(2, nout), ins(nin))}) {{\n  {in_array}\n  {place_array(nout, 2)}\n  return {call};\n}}")
        else:
            out.append(f"int mlf{name}({params(ins(nin))}) {{\n  {in_array}\n  {place_array(nout, 2)}\n  {call};\n  return tarvio_form_status();\n}}")
    out.append(f"int mlx{name}(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[]) {{\n  return TarvioCall({q}, nlhs, plhs, nrhs, prhs);\n}}")
    return out


def main(argv):
    if len(argv) < 4:
        sys.exit(__doc__)
    header, source, files = argv[1], argv[2], argv[3:]
    ops = operations(files)
    if not ops:
        sys.exit("gen_forms.py: no registrations found")

    with open(header, "w", encoding="utf-8") as h:
        h.write("/* The calling forms of every operation of the library. Generated from the\n"
                " * operations' registrations when the library is built; do not edit. See\n"
                " * tarvio/tarvio.h for how the forms behave. */\n")
        h.write("#ifndef TARVIO_TARVIO_FORMS_H\n#define TARVIO_TARVIO_FORMS_H\n\n")
        h.write('#include "mxarray.h"\n\n#ifdef __cplusplus\nextern "C" {\n#endif\n\n')
        for name, nin, nout, variable in ops:
            kind = ", variable lists" if variable else ""
            h.write(f"/* {name}: inputs {nin}, outputs {nout}{kind} */\n")
            h.write("\n".join(declarations(name, nin, nout, variable)) + "\n")
        h.write("\n#ifdef __cplusplus\n}\n#endif\n\n#endif\n")

    with open(source, "w", encoding="utf-8") as c:
        c.write("/* The calling forms of every operation. Generated from the operations'\n"
                " * registrations when the library is built; do not edit. */\n")
        c.write('#include <stdarg.h>\n#include <stddef.h>\n\n#include "tarvio/tarvio.h"\n\n')
        c.write("/* The library's side of the forms (api/c_api.cpp). */\n")
        c.write("mxArray* tarvio_form_fixed(const char* name, int nout, mxArray** places[], int nin, mxArray* in[]);\n")
        c.write("mxArray* tarvio_form_varargs(const char* name, int form, int nargout, int nout, mxArray** places[], "
                "mxArray* in1, va_list ap);\n")
        c.write("int tarvio_form_status(void);\n\n")
        c.write("struct tarvio_form_info {\n  const char* name;\n  int nin, nout, variable;\n};\n")
        c.write("const struct tarvio_form_info tarvio_form_table[] = {\n")
        for name, nin, nout, variable in ops:
            c.write(f'    {{"{name}", {nin}, {nout}, {int(variable)}}},\n')
        c.write("};\n")
        c.write(f"const int tarvio_form_count = {len(ops)};\n\n")
        for op in ops:
            c.write("\n\n".join(definitions(*op)) + "\n\n")


if __name__ == "__main__":
    main(sys.argv)
