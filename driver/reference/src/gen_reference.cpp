// Writes, from the export reference and exports.def, what an integrator gets:
//   --check REF                  lists what the reference lacks (exit 1 when anything)
//   --html DIR                   index.html and one page per export group, with a search box
//   --man DIR                    orvik.3, orvik_GROUP.3 and one orvik page link per export
//   --pascal FILE --csharp FILE --python FILE   the bindings
// Every option takes the reference file as its last argument.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "orvik/reference/reference.h"

namespace fs = std::filesystem;
using namespace orvik::reference;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WriteAll(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

const char* ModelName(char m) {
  switch (m) {
    case 'L':
      return "Lumvar (ORVIK_KAP, ORVIK_R7, ORVIK_QM4100XR)";
    case 'Q':
      return "QVX (ORVIK_610, ORVIK_820)";
    case 'N':
      return "non-fiscal printer (ORVIK_VUNO_LPT, ORVIK_VUNO_SERIAL)";
    case 'B':
      return "the scale, with any model";
  }
  return "";
}

std::string Models(const Entry& e) {
  if (e.models == "*") return "every model (the printer is not involved)";
  if (e.models == "-") return "none (kept so that older callers still link)";
  std::string out;
  for (char m : e.models) out += (out.empty() ? "" : "; ") + std::string(ModelName(m));
  return out;
}

std::string WidthText(const Answer& a) {
  switch (a.kind) {
    case 'd':
      return "exactly " + std::to_string(a.width) + " digits; buffer of " +
             std::to_string(a.buffer_size()) + " bytes";
    case 't':
      return "exactly " + std::to_string(a.width) + " characters; buffer of " +
             std::to_string(a.buffer_size()) + " bytes";
    case '<':
      return "at most " + std::to_string(a.width) + " characters; buffer of " +
             std::to_string(a.buffer_size()) + " bytes";
    case 'i':
      return "an integer";
  }
  return "not written";
}

std::string CommonCodes(const Entry& e) {
  if (e.models == "*" || e.models == "-") return "";
  return "1 success; 0 failure, its cause from Orvik_RetornoImpressora (-1 no reply, a positive "
         "number the printer's error); -5 the port cannot be opened; 0 with code -3 on a model "
         "not listed.";
}

std::string Files(const Entry& e) {
  std::string out = e.WritesReturnFile() ? "RETORNO.TXT in the Path folder (the first answer)" : "";
  if (!e.files.empty()) out += (out.empty() ? "" : "; ") + e.files;
  return out.empty() ? "none" : out;
}

// A C call with buffers of the documented size: "char coo[7]; Orvik_NumeroCupom(coo);".
std::string ExampleC(const Entry& e, const Reference& ref) {
  std::string decl, args;
  for (const Parameter& p : e.parameters) {
    if (!args.empty()) args += ", ";
    const Answer* a = e.AnswerFor(p.name);
    if (p.is_buffer()) {
      decl += "char " + p.name + "[" + std::to_string(a && a->kind != '-' ? a->buffer_size() : 2) +
              "] = \"\";\n";
      args += p.name;
    } else if (p.is_int_output()) {
      decl += "int " + p.name + " = 0;\n";
      args += "&" + p.name;
    } else if (p.is_int_input()) {
      args += std::to_string(ExampleInteger(e.FormOf(p.name, ref.shared_forms)));
    } else {
      args += "\"" + ExampleText(e.FormOf(p.name, ref.shared_forms)) + "\"";
    }
  }
  return decl + "int rc = " + e.name + "(" + args + ");";
}

std::string Html(const std::string& s) {
  std::string out;
  bool code = false;
  for (char c : s) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '`':
        out += code ? "</code>" : "<code>";
        code = !code;
        break;
      default:
        out += c;
    }
  }
  if (code) out += "</code>";
  return out;
}

std::string Prototype(const Entry& e) {
  std::string s = "int " + e.name + "(";
  for (size_t i = 0; i < e.parameters.size(); ++i)
    s += (i ? ", " : "") + e.parameters[i].type + " " + e.parameters[i].name;
  return s + (e.parameters.empty() ? "void)" : ")");
}

const char* kStyle =
    "<style>body{font-family:sans-serif;max-width:60em;margin:auto;padding:1em}"
    "code,pre{background:#f3f3f3}pre{padding:.5em;overflow:auto}"
    "h2{border-top:1px solid #ccc;padding-top:.5em}dt{font-weight:bold}"
    "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:.2em "
    ".4em;vertical-align:top}"
    "#results li{margin:.2em 0}</style>";

void WriteHtml(const Reference& ref, const fs::path& dir) {
  std::string search_data = "[";
  for (const Group& g : Groups()) {
    std::string page = "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>" +
                       Html(g.title) + " - liborvik</title>" + kStyle + "</head><body>" +
                       "<p><a href=\"index.html\">liborvik reference</a></p><h1>" + Html(g.title) +
                       "</h1><ul>";
    std::string body;
    for (const Entry& e : ref.entries) {
      if (e.group != g.id) continue;
      page += "<li><a href=\"#" + e.name + "\">" + e.name + "</a></li>";
      search_data += "[\"" + e.name + "\",\"" + g.stem + ".html#" + e.name + "\",\"";
      for (char c : e.does)
        search_data += c == '"'    ? std::string("\\\"")
                       : c == '\\' ? std::string("\\\\")
                                   : std::string(1, c);
      search_data += "\"],";
      body += "<h2 id=\"" + e.name + "\">" + e.name + "</h2><pre>" + Html(Prototype(e)) +
              "</pre><p>" + Html(e.does) + "</p><dl>";
      if (!e.alias_of.empty())
        body += "<dt>Same as</dt><dd><a href=\"#" + e.alias_of + "\">" + e.alias_of + "</a> (" +
                "the same operation under a second name)</dd>";
      std::string params, answers;
      for (const Parameter& p : e.parameters) {
        if (p.is_output()) {
          const Answer* a = e.AnswerFor(p.name);
          answers += "<li><code>" + p.name + "</code> (" + p.type + "): " + Html(WidthText(*a)) +
                     (a->text.empty() ? "" : ": " + Html(a->text)) +
                     (p.is_buffer() && !a->to_file ? " (not written to RETORNO.TXT)" : "") +
                     "</li>";
        } else {
          params += "<li><code>" + p.name + "</code> (" + p.type +
                    "): " + Html(e.FormOf(p.name, ref.shared_forms)) + "</li>";
        }
      }
      body += "<dt>Parameters</dt><dd>" + (params.empty() ? "none" : "<ul>" + params + "</ul>") +
              "</dd>";
      body += "<dt>Answers</dt><dd>" + (answers.empty() ? "none" : "<ul>" + answers + "</ul>") +
              "</dd>";
      const std::string common = CommonCodes(e);
      body += "<dt>Results and codes</dt><dd>" +
              Html(common + (common.empty() || e.codes.empty() ? "" : " ") + e.codes) +
              (common.empty() && e.codes.empty() ? "1 success" : "") + "</dd>";
      body += "<dt>Models</dt><dd>" + Html(Models(e)) + "</dd>";
      body += "<dt>Files</dt><dd>" + Html(Files(e)) + "</dd>";
      body += "<dt>Example</dt><dd><pre>" + Html(ExampleC(e, ref)) + "</pre></dd></dl>";
    }
    page += "</ul>" + body + "</body></html>\n";
    WriteAll(dir / (g.stem + ".html"), page);
  }
  search_data.back() = ']';

  std::string index =
      std::string("<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">") +
      "<title>liborvik reference</title>" + kStyle + "</head><body>" +
      "<h1>liborvik: the export reference</h1>" +
      "<p>Every export returns an int and is called with the C convention "
      "(stdcall on 32-bit x86 and as Orvik.dll on Windows). Texts are Windows-1252. "
      "Answer buffers are the caller's: pass at least the documented size, "
      "filled with blanks of the answer's width. Header: <code>orvik/orvik.h</code>; "
      "bindings under <code>share/orvik/</code> (Pascal, C#, Python); "
      "<code>man 3 orvik</code>.</p>"
      "<p><label>Search: <input id=\"q\" type=\"search\" placeholder=\"name or words\" "
      "autofocus></label></p><ul id=\"results\"></ul><h2>Groups</h2><ul>";
  for (const Group& g : Groups()) {
    int n = 0;
    for (const Entry& e : ref.entries) n += e.group == g.id;
    index += "<li><a href=\"" + g.stem + ".html\">" + Html(g.title) + "</a> (" + std::to_string(n) +
             ")</li>";
  }
  index +=
      "</ul><h2>ORVIK.INI "
      "keys</h2><table><tr><th>Section</th><th>Key</th><th>Default</th><th>Meaning</th></tr>";
  for (const IniKey& k : ref.ini_keys)
    index += "<tr><td>" + k.section + "</td><td>" + k.key + "</td><td>" + Html(k.fallback) +
             "</td><td>" + Html(k.meaning) + "</td></tr>";
  index +=
      "</table><h2>Return codes</h2><table><tr><th>Code</th><th>When</th><th>Last "
      "message</th></tr>";
  for (const Code& c : ref.codes)
    index += "<tr><td>" + c.code + "</td><td>" + Html(c.when) + "</td><td>" + Html(c.message) +
             "</td></tr>";
  index += "</table><h2>Files</h2><table><tr><th>File</th><th>Folder</th><th>Content</th></tr>";
  for (const File& f : ref.files)
    index += "<tr><td>" + f.name + "</td><td>" + Html(f.folder) + "</td><td>" + Html(f.content) +
             "</td></tr>";
  index +=
      "</table><script>const all=" + search_data +
      ";const q=document.getElementById('q'),r=document.getElementById('results');"
      "q.addEventListener('input',()=>{const w=q.value.toLowerCase().split(/\\s+/).filter(x=>x);"
      "r.innerHTML='';if(!w.length)return;for(const [n,h,d] of all){const t=(n+' "
      "'+d).toLowerCase();"
      "if(w.every(x=>t.includes(x))){const li=document.createElement('li');const "
      "a=document.createElement('a');"
      "a.href=h;a.textContent=n;li.append(a,' \\u2014 "
      "'+d);r.append(li);}}});</script></body></html>\n";
  WriteAll(dir / "index.html", index);
}

// roff text: a leading dot or quote is escaped, backslashes doubled.
std::string Roff(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\')
      out += "\\e";
    else if (c == '`')
      continue;
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

void WriteMan(const Reference& ref, const fs::path& dir) {
  const std::string head = ".\\\" Generated from exports.ref and exports.def.\n";
  std::string overview =
      head +
      ".TH ORVIK 3 \"\" \"liborvik\" \"Library Functions Manual\"\n"
      ".SH NAME\norvik \\- the fiscal-printer driver's exports\n"
      ".SH SYNOPSIS\n.B #include <orvik/orvik.h>\n.PP\n.B cc prog.c $(pkg-config \\-\\-cflags "
      "\\-\\-libs orvik)\n"
      ".SH DESCRIPTION\nEvery export returns an int. Texts are Windows\\-1252. Answer buffers "
      "are the caller's: pass at least the size each export documents, filled with blanks of "
      "the answer's width. After a result other than 1, "
      ".BR Orvik_RetornoImpressora ()\ngives the code and message.\n.SH GROUPS\n";
  for (const Group& g : Groups()) {
    overview += ".TP\n.BR orvik_" + g.stem + " (3)\n" + Roff(g.title) + "\n";
    std::string page = head + ".TH ORVIK_" + g.stem +
                       " 3 \"\" \"liborvik\" \"Library Functions Manual\"\n" + ".SH NAME\norvik_" +
                       g.stem + " \\- " + Roff(g.title) +
                       "\n.SH SYNOPSIS\n.B #include <orvik/orvik.h>\n" + ".SH DESCRIPTION\n";
    for (const Entry& e : ref.entries) {
      if (e.group != g.id) continue;
      page += ".SS " + e.name + "\n.nf\n.B " + Roff(Prototype(e)) + ";\n.fi\n.PP\n" + Roff(e.does) +
              "\n";
      for (const Parameter& p : e.parameters) {
        page += ".TP\n.I " + p.name + "\n";
        if (p.is_output()) {
          const Answer* a = e.AnswerFor(p.name);
          page += Roff(WidthText(*a) + (a->text.empty() ? "" : ": " + a->text)) + "\n";
        } else {
          page += Roff(e.FormOf(p.name, ref.shared_forms)) + "\n";
        }
      }
      const std::string common = CommonCodes(e);
      page += ".PP\nResults: " +
              Roff(common.empty() && e.codes.empty()
                       ? "1 success"
                       : common + (common.empty() || e.codes.empty() ? "" : " ") + e.codes) +
              "\n.br\nModels: " + Roff(Models(e)) + "\n.br\nFiles: " + Roff(Files(e)) +
              "\n.PP\nExample:\n.nf\n.RS\n" + Roff(ExampleC(e, ref)) + "\n.RE\n.fi\n";
      WriteAll(dir / (e.name + ".3"), ".so man3/orvik_" + g.stem + ".3\n");
    }
    page += ".SH SEE ALSO\n.BR orvik (3)\n";
    WriteAll(dir / ("orvik_" + g.stem + ".3"), page);
  }
  overview +=
      ".SH CONFIGURATION\nORVIK.INI is $ORVIK_INI, else beside the program, then /etc/orvik/, then "
      "/etc/.\n";
  for (const IniKey& k : ref.ini_keys)
    overview += ".TP\n.B [" + k.section + "] " + k.key + "\n" +
                Roff((k.fallback.empty() ? "" : "(" + k.fallback + ") ") + k.meaning) + "\n";
  overview += ".SH RETURN CODES\n";
  for (const Code& c : ref.codes)
    overview += ".TP\n.B " + Roff(c.code) + "\n" +
                Roff(c.when + (c.message.empty() ? "" : ": " + c.message)) + "\n";
  overview += ".SH FILES\n";
  for (const File& f : ref.files)
    overview += ".TP\n.B " + Roff(f.name) + "\n" + Roff("(" + f.folder + ") " + f.content) + "\n";
  overview += ".SH SEE ALSO\n.BR orvik\\-cli (1),\n.BR orvik\\-relay (1)\n";
  WriteAll(dir / "orvik.3", overview);
}

std::string PascalName(const std::string& n) {
  std::string out = "a";
  bool up = true;
  for (char c : n) {
    if (c == '_') {
      up = true;
      continue;
    }
    out += up ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    up = false;
  }
  return out;
}

void WritePascal(const Reference& ref, const fs::path& file) {
  std::string s =
      "{ Orvik.pas: liborvik's exports for Delphi and Free Pascal, generated from exports.def\n"
      "  and exports.ref. Text parameters are PAnsiChar in Windows-1252; an answer buffer is\n"
      "  the caller's and must hold the size each export documents (see share/doc/orvik). }\n"
      "unit Orvik;\n\n{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}\n"
      "{$IF DEFINED(MSWINDOWS) OR DEFINED(CPU386)}{$DEFINE ORVIK_STDCALL}{$IFEND}\n\n"
      "interface\n\nconst\n{$IFDEF MSWINDOWS}\n  OrvikLibrary = 'Orvik.dll';\n{$ELSE}\n"
      "  OrvikLibrary = 'liborvik.so.1';\n{$ENDIF}\n\n";
  for (const Entry& e : ref.entries) {
    s += "{ " + e.does + " }\nfunction " + e.name + "(";
    for (size_t i = 0; i < e.parameters.size(); ++i) {
      const Parameter& p = e.parameters[i];
      s += i ? "; " : "";
      if (p.is_int_output())
        s += "var " + PascalName(p.name) + ": Integer";
      else if (p.is_int_input())
        s += PascalName(p.name) + ": Integer";
      else
        s += PascalName(p.name) + ": PAnsiChar";
    }
    s += "): Integer; {$IFDEF ORVIK_STDCALL}stdcall;{$ELSE}cdecl;{$ENDIF} external OrvikLibrary;\n";
  }
  s += "\nimplementation\n\nend.\n";
  // Braces of a description must not end the comment early.
  WriteAll(file, s);
}

void WriteCSharp(const Reference& ref, const fs::path& file) {
  std::string s =
      "// Orvik.cs: liborvik's exports for C#, generated from exports.def and exports.ref.\n"
      "// Texts cross in Windows-1252 (converted here, whatever the platform's ANSI page);\n"
      "// answers come back in the StringBuilder given, buffers sized from the reference.\n"
      "// Windows: Orvik.dll. Elsewhere compile with -define:ORVIK_SO for liborvik.so.1.\n"
      "using System;\nusing System.Runtime.InteropServices;\nusing System.Text;\n\n"
      "namespace Orvik\n{\n"
      "    public static class Cp1252\n    {\n"
      "        static readonly char[] High = {\n"
      "            "
      "'\\u20AC','\\u0081','\\u201A','\\u0192','\\u201E','\\u2026','\\u2020','\\u2021',\n"
      "            "
      "'\\u02C6','\\u2030','\\u0160','\\u2039','\\u0152','\\u008D','\\u017D','\\u008F',\n"
      "            "
      "'\\u0090','\\u2018','\\u2019','\\u201C','\\u201D','\\u2022','\\u2013','\\u2014',\n"
      "            '\\u02DC','\\u2122','\\u0161','\\u203A','\\u0153','\\u009D','\\u017E','\\u0178' "
      "};\n"
      "        public static byte[] Encode(string text, int size)\n        {\n"
      "            text = text ?? \"\";\n            var bytes = new byte[Math.Max(size, "
      "text.Length + 1)];\n"
      "            for (int i = 0; i < text.Length; i++)\n            {\n"
      "                char c = text[i];\n                int b = -1;\n"
      "                if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) b = c;\n"
      "                else for (int k = 0; k < 32; k++) if (High[k] == c) b = 0x80 + k;\n"
      "                if (b < 0) throw new ArgumentException(\"not in Windows-1252: \" + c);\n"
      "                bytes[i] = (byte)b;\n            }\n            return bytes;\n        }\n"
      "        public static string Decode(byte[] bytes)\n        {\n"
      "            var sb = new StringBuilder();\n"
      "            foreach (byte b in bytes)\n            {\n                if (b == 0) break;\n"
      "                sb.Append(b >= 0x80 && b < 0xA0 ? High[b - 0x80] : (char)b);\n            "
      "}\n"
      "            return sb.ToString();\n        }\n"
      "        // An answer buffer: blanks of the answer's width, as the driver expects.\n"
      "        public static byte[] Answer(int width)\n        {\n"
      "            var bytes = new byte[width + 1];\n            for (int i = 0; i < width; i++) "
      "bytes[i] = 32;\n"
      "            return bytes;\n        }\n    }\n\n"
      "    public static class Native\n    {\n#if ORVIK_SO\n        public const string Library = "
      "\"liborvik.so.1\";\n"
      "#else\n        public const string Library = \"Orvik.dll\";\n#endif\n";
  std::string wrappers;
  for (const Entry& e : ref.entries) {
    std::string raw, call, args, before, after;
    for (size_t i = 0; i < e.parameters.size(); ++i) {
      const Parameter& p = e.parameters[i];
      const std::string sep = i ? ", " : "";
      const Answer* a = e.AnswerFor(p.name);
      if (p.is_int_output()) {
        raw += sep + "ref int " + p.name;
        args += sep + "ref int " + p.name;
        call += sep + "ref " + p.name;
      } else if (p.is_int_input()) {
        raw += sep + "int " + p.name;
        args += sep + "int " + p.name;
        call += sep + p.name;
      } else if (p.is_buffer()) {
        const int width = a && a->kind != '-' ? a->width : 1;
        raw += sep + "byte[] " + p.name;
        args += sep + "StringBuilder " + p.name;
        call += sep + "b_" + p.name;
        before +=
            "            var b_" + p.name + " = Cp1252.Answer(" + std::to_string(width) + ");\n";
        after += "            " + p.name + ".Clear().Append(Cp1252.Decode(b_" + p.name + "));\n";
      } else {
        raw += sep + "byte[] " + p.name;
        args += sep + "string " + p.name;
        call += sep + "b_" + p.name;
        before += "            var b_" + p.name + " = Cp1252.Encode(" + p.name + ", 0);\n";
      }
    }
    s += "        [DllImport(Library, EntryPoint = \"" + e.name +
         "\", CallingConvention = CallingConvention.StdCall)]\n        public static extern int " +
         e.name + "(" + raw + ");\n";
    wrappers += "        /// <summary>" + Html(e.does) + "</summary>\n        public static int " +
                e.name + "(" + args + ")\n        {\n" + before + "            int rc = Native." +
                e.name + "(" + call + ");\n" + after + "            return rc;\n        }\n";
  }
  s += "    }\n\n    public static class Api\n    {\n" + wrappers + "    }\n}\n";
  WriteAll(file, s);
}

std::string PyString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += static_cast<char>(c);
  }
  return out + "\"";
}

void WritePython(const Reference& ref, const fs::path& file) {
  std::string s =
      "\"\"\"liborvik's exports for Python (ctypes), generated from exports.def and "
      "exports.ref.\n\n"
      "Every export is a function of the same name. Texts are str, crossing in Windows-1252;\n"
      "a text that cannot be written in it raises ValueError before anything is sent.\n"
      "Answers (char* and int* parameters) come back after the result:\n\n"
      "    rc, numero = orvik.Orvik_NumeroCupom()\n\n"
      "The library is $ORVIK_LIB when set, otherwise liborvik.so.1 (Orvik.dll on "
      "Windows).\n\"\"\"\n\n"
      "import ctypes\nimport os\nimport sys\n\n_lib = None\n\n\n"
      "def _library():\n    global _lib\n    if _lib is None:\n"
      "        name = os.environ.get(\"ORVIK_LIB\") or (\"Orvik.dll\" if sys.platform == \"win32\" "
      "else \"liborvik.so.1\")\n"
      "        loader = ctypes.WinDLL if sys.platform == \"win32\" and hasattr(ctypes, \"WinDLL\") "
      "else ctypes.CDLL\n"
      "        _lib = loader(name)\n    return _lib\n\n\n"
      "def _text(export, parameter, value):\n"
      "    if not isinstance(value, str):\n"
      "        raise TypeError(\"%s: %s must be a str, not %s\" % (export, parameter, "
      "type(value).__name__))\n"
      "    try:\n        return value.encode(\"cp1252\")\n"
      "    except UnicodeEncodeError as e:\n"
      "        raise ValueError(\"%s: %s cannot be written in Windows-1252: %r\" % (export, "
      "parameter, value[e.start:e.end])) from None\n\n\n"
      "def _integer(export, parameter, value):\n"
      "    if isinstance(value, bool) or not isinstance(value, int):\n"
      "        raise TypeError(\"%s: %s must be an int\" % (export, parameter))\n"
      "    if not -2**31 <= value < 2**31:\n        raise ValueError(\"%s: %s is out of the 32-bit "
      "range\" % (export, parameter))\n"
      "    return value\n\n\n"
      "def _answer(width):\n    # Blanks of the answer's width, as the driver expects; room for "
      "the zero after it.\n"
      "    return ctypes.create_string_buffer(b\" \" * width, max(width + 1, 64))\n\n\n"
      "def _decode(buffer):\n    return buffer.value.decode(\"cp1252\", errors=\"replace\")\n\n\n";
  std::string all = "__all__ = [";
  for (const Entry& e : ref.entries) {
    std::string inputs, checks, decl, call, outs;
    for (const Parameter& p : e.parameters) {
      const Answer* a = e.AnswerFor(p.name);
      if (!call.empty()) call += ", ";
      if (p.is_text_input()) {
        inputs += (inputs.empty() ? "" : ", ") + p.name;
        checks += "    b_" + p.name + " = _text(" + PyString(e.name) + ", " + PyString(p.name) +
                  ", " + p.name + ")\n";
        call += "b_" + p.name;
      } else if (p.is_int_input()) {
        inputs += (inputs.empty() ? "" : ", ") + p.name;
        checks += "    " + p.name + " = _integer(" + PyString(e.name) + ", " + PyString(p.name) +
                  ", " + p.name + ")\n";
        call += "ctypes.c_int(" + p.name + ")";
      } else if (p.is_buffer()) {
        decl += "    b_" + p.name + " = _answer(" +
                std::to_string(a && a->kind != '-' ? a->width : 1) + ")\n";
        call += "b_" + p.name;
        outs += ", _decode(b_" + p.name + ")";
      } else {
        decl += "    i_" + p.name + " = ctypes.c_int(0)\n";
        call += "ctypes.byref(i_" + p.name + ")";
        outs += ", i_" + p.name + ".value";
      }
    }
    std::string doc = e.does;
    for (char& c : doc)
      if (c == '\\') c = '/';
    s += "def " + e.name + "(" + inputs + "):\n    " + PyString(doc) + "\n" + checks + decl +
         "    f = _library()." + e.name + "\n    f.restype = ctypes.c_int\n    rc = f(" + call +
         ")\n" + (outs.empty() ? "    return rc\n" : "    return (rc" + outs + ")\n") + "\n\n";
    all += PyString(e.name) + ", ";
  }
  s += all + "]\n";
  WriteAll(file, s);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: gen_reference [--check] [--html DIR] [--man DIR] [--pascal FILE] "
                 "[--csharp FILE] [--python FILE] exports.ref\n");
    return 2;
  }
  const std::string ref_path = argv[argc - 1];
  std::vector<std::string> problems;
  const Reference ref = Load(ReadAll(ref_path), problems);
  if (ref.entries.empty() && problems.empty()) problems.push_back("cannot read " + ref_path);
  for (const std::string& p : problems)
    std::fprintf(stderr, "%s: %s\n", ref_path.c_str(), p.c_str());
  if (!problems.empty()) return 1;
  for (int i = 1; i + 1 < argc; ++i) {
    const std::string opt = argv[i];
    if (opt == "--check") continue;
    if (i + 2 >= argc) {
      std::fprintf(stderr, "gen_reference: %s needs a value\n", opt.c_str());
      return 2;
    }
    const fs::path out = argv[++i];
    if (opt == "--html")
      WriteHtml(ref, out);
    else if (opt == "--man")
      WriteMan(ref, out);
    else if (opt == "--pascal")
      WritePascal(ref, out);
    else if (opt == "--csharp")
      WriteCSharp(ref, out);
    else if (opt == "--python")
      WritePython(ref, out);
    else {
      std::fprintf(stderr, "gen_reference: unknown option %s\n", opt.c_str());
      return 2;
    }
  }
  return 0;
}
