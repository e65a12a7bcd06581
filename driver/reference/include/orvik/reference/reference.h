#pragma once
// The export reference (exports.ref beside exports.def): what each export does, its
// parameters' forms, its answers and their widths, the models it works on, its codes and
// files; and the INI keys, return codes and files of the driver. Read by the generator of
// the HTML and man pages and of the bindings, and by the tests that hold the driver to it.
#include <map>
#include <string>
#include <vector>

namespace orvik::reference {

// One parameter of a prototype, as exports.def spells it.
struct Parameter {
  std::string type;  // "const char*", "char*", "int", "int*"
  std::string name;
  bool is_text_input() const { return type == "const char*"; }
  bool is_buffer() const { return type == "char*"; }
  bool is_int_input() const { return type == "int"; }
  bool is_int_output() const { return type == "int*"; }
  bool is_output() const { return is_buffer() || is_int_output(); }
};

// One answer: a caller's buffer or an integer result.
struct Answer {
  std::string name;
  char kind = '-';  // 'd' exactly width digits, 't' exactly width characters, '<' at most
                    // width characters, 'i' an integer, '-' not written
  int width = 0;
  bool to_file = true;  // the first buffer answer also goes to RETORNO.TXT
  std::string text;
  // The bytes a caller's buffer needs: the widest answer and its terminating zero.
  int buffer_size() const { return width + 1; }
};

struct Entry {
  std::string group;  // exports.def's group
  std::string name;
  std::vector<Parameter> parameters;
  std::string models;  // letters L Q N B, "*" every model, "-" none
  std::string does;
  std::vector<Answer> answers;               // in parameter order, one per output
  std::map<std::string, std::string> forms;  // parameter name -> its form
  std::string codes;
  std::string files;
  std::string alias_of;  // the export it is a second name of, or empty

  const Answer* AnswerFor(const std::string& parameter) const;
  // The form of an input parameter: the entry's own, else the shared one of its name.
  std::string FormOf(const std::string& parameter,
                     const std::map<std::string, std::string>& shared) const;
  bool WritesReturnFile() const;
  bool Works(char model) const { return models == "*" || models.find(model) != std::string::npos; }
};

struct IniKey {
  std::string section, key, fallback, meaning;
};
struct Code {
  std::string code, when, message;
};
struct File {
  std::string name, folder, content;
};

struct Reference {
  std::vector<Entry> entries;                       // in exports.def order
  std::map<std::string, std::string> shared_forms;  // @param
  std::vector<IniKey> ini_keys;
  std::vector<Code> codes;
  std::vector<File> files;

  const Entry* Find(const std::string& name) const;
};

// The exports of exports.def: group, name and parameter list "(int* code, char* message)".
struct Declared {
  std::string group, name, parameters;
};
const std::vector<Declared>& DeclaredExports();
std::vector<Parameter> ParseParameters(const std::string& list);

// Reads the reference; every export of exports.def must have exactly one entry, each
// answer must name an output parameter and every output must have its answer, and
// aliases must name an export. Problems are listed (empty: the reference is whole).
Reference Load(const std::string& text, std::vector<std::string>& problems);

// Group titles and file-name stems, in the order of exports.def.
struct Group {
  std::string id, stem, title;
};
const std::vector<Group>& Groups();

// A value for an example call: the first double-quoted text of the form ("12,50"), for
// an integer the first number of the form.
std::string ExampleText(const std::string& form);
int ExampleInteger(const std::string& form);

}  // namespace orvik::reference
