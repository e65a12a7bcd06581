#include "orvik/reference/reference.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

namespace orvik::reference {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t at = s.find(sep, start);
    out.push_back(Trim(s.substr(start, at == std::string::npos ? std::string::npos : at - start)));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return out;
}

// "NAME=SPEC text" -> Answer; false when it does not read.
bool ParseAnswer(const std::string& item, Answer& a) {
  const size_t eq = item.find('=');
  if (eq == std::string::npos) return false;
  a.name = Trim(item.substr(0, eq));
  std::string rest = item.substr(eq + 1);
  size_t i = 0;
  if (i < rest.size() && rest[i] == '<') {
    a.kind = '<';
    ++i;
  }
  size_t digits = i;
  while (digits < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digits]))) ++digits;
  if (digits > i) {
    a.width = std::stoi(rest.substr(i, digits - i));
    if (a.kind != '<') {
      if (digits >= rest.size() || (rest[digits] != 'd' && rest[digits] != 't')) return false;
      a.kind = rest[digits++];
    }
    i = digits;
  } else if (a.kind == '<') {
    return false;
  } else if (i < rest.size() && (rest[i] == 'i' || rest[i] == '-')) {
    a.kind = rest[i++];
  } else {
    return false;
  }
  if (i < rest.size() && rest[i] == '!') {
    a.to_file = false;
    ++i;
  }
  if (i < rest.size() && !std::isspace(static_cast<unsigned char>(rest[i]))) return false;
  a.text = Trim(rest.substr(i));
  return true;
}

}  // namespace

const Answer* Entry::AnswerFor(const std::string& parameter) const {
  for (const Answer& a : answers)
    if (a.name == parameter) return &a;
  return nullptr;
}

std::string Entry::FormOf(const std::string& parameter,
                          const std::map<std::string, std::string>& shared) const {
  if (auto it = forms.find(parameter); it != forms.end()) return it->second;
  if (auto it = shared.find(parameter); it != shared.end()) return it->second;
  return "";
}

bool Entry::WritesReturnFile() const {
  for (const Parameter& p : parameters) {
    if (!p.is_buffer()) continue;
    const Answer* a = AnswerFor(p.name);
    return a && a->to_file && a->kind != '-';
  }
  return false;
}

const Entry* Reference::Find(const std::string& name) const {
  for (const Entry& e : entries)
    if (e.name == name) return &e;
  return nullptr;
}

const std::vector<Declared>& DeclaredExports() {
  static const std::vector<Declared> declared = {
#define ORVIK_EXPORT(group, name, params) {#group, #name, #params},
#include "orvik/exports.def"
#undef ORVIK_EXPORT
  };
  return declared;
}

std::vector<Parameter> ParseParameters(const std::string& list) {
  std::vector<Parameter> out;
  std::string inner = Trim(list);
  if (inner.size() >= 2 && inner.front() == '(') inner = inner.substr(1, inner.size() - 2);
  if (Trim(inner) == "void" || Trim(inner).empty()) return out;
  for (const std::string& item : Split(inner, ',')) {
    const size_t cut = item.find_last_of(" *");
    Parameter p;
    p.name = item.substr(cut + 1);
    p.type = Trim(item.substr(0, cut + 1));
    // "char *x" and "char* x" alike.
    p.type.erase(std::remove(p.type.begin(), p.type.end(), ' '), p.type.end());
    if (p.type == "constchar*") p.type = "const char*";
    out.push_back(p);
  }
  return out;
}

const std::vector<Group>& Groups() {
  static const std::vector<Group> groups = {
      {"Frame", "frame", "Frame: last result, port, raw commands, identifiers"},
      {"Status", "status", "Status, identity, counters, totals and tables"},
      {"Coupon", "coupon", "Fiscal coupon and payments"},
      {"Documents", "documents", "Reports, non-fiscal documents, cheques, drawer, programming"},
      {"RegisterReports", "register_reports", "Reports rendered from the printer's registers"},
      {"Unsupported", "unsupported", "Kept for older callers"},
      {"MemoryFiles", "memory_files", "Fiscal memory files and conversions"},
      {"NonFiscalPrinter", "nonfiscal_printer", "Non-fiscal receipt printer"},
      {"Scale", "scale", "Scale on the second serial port"},
  };
  return groups;
}

std::string ExampleText(const std::string& form) {
  const size_t open = form.find('"');
  if (open == std::string::npos) return "";
  const size_t close = form.find('"', open + 1);
  return close == std::string::npos ? "" : form.substr(open + 1, close - open - 1);
}

int ExampleInteger(const std::string& form) {
  for (size_t i = 0; i < form.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(form[i])) ||
        (form[i] == '-' && i + 1 < form.size() &&
         std::isdigit(static_cast<unsigned char>(form[i + 1]))))
      return std::stoi(form.substr(i));
  }
  return 0;
}

Reference Load(const std::string& text, std::vector<std::string>& problems) {
  Reference ref;
  std::map<std::string, Entry> by_name;
  std::map<std::string, int> seen;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  auto problem = [&](const std::string& what) {
    problems.push_back("line " + std::to_string(number) + ": " + what);
  };
  std::map<std::string, const Declared*> declared;
  for (const Declared& d : DeclaredExports()) declared[d.name] = &d;

  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string t = Trim(line);
    if (t.empty() || t[0] == '#') continue;
    if (t.rfind("@param ", 0) == 0) {
      const size_t colon = t.find(':');
      if (colon == std::string::npos) {
        problem("@param without ':'");
        continue;
      }
      ref.shared_forms[Trim(t.substr(7, colon - 7))] = Trim(t.substr(colon + 1));
      continue;
    }
    if (t.rfind("@ini ", 0) == 0) {
      std::vector<std::string> f = Split(t.substr(5), '|');
      std::istringstream head(f[0]);
      IniKey k;
      head >> k.section >> k.key;
      if (f.size() != 3 || k.key.empty()) {
        problem("@ini needs SECTION KEY | DEFAULT | MEANING");
        continue;
      }
      k.fallback = f[1];
      k.meaning = f[2];
      ref.ini_keys.push_back(k);
      continue;
    }
    if (t.rfind("@code ", 0) == 0) {
      std::vector<std::string> f = Split(t.substr(6), '|');
      if (f.size() != 3) {
        problem("@code needs CODE | WHEN | MESSAGE");
        continue;
      }
      ref.codes.push_back({f[0], f[1], f[2]});
      continue;
    }
    if (t.rfind("@file ", 0) == 0) {
      std::vector<std::string> f = Split(t.substr(6), '|');
      if (f.size() != 3) {
        problem("@file needs NAME | FOLDER | CONTENT");
        continue;
      }
      ref.files.push_back({f[0], f[1], f[2]});
      continue;
    }
    std::vector<std::string> f = Split(t, '|');
    Entry e;
    e.name = f[0];
    auto d = declared.find(e.name);
    if (d == declared.end()) {
      problem("not an export of exports.def: " + e.name);
      continue;
    }
    if (++seen[e.name] > 1) problem("a second entry for " + e.name);
    e.group = d->second->group;
    e.parameters = ParseParameters(d->second->parameters);
    if (f.size() == 2 && f[1].rfind("= ", 0) == 0) {
      e.alias_of = Trim(f[1].substr(2));
      by_name[e.name] = e;
      continue;
    }
    if (f.size() < 4 || f.size() > 7) {
      problem(e.name + ": needs NAME | MODELS | WHAT | ANSWERS [| PARAMETERS | CODES | FILES]");
      continue;
    }
    f.resize(7);
    e.models = f[1];
    e.does = f[2];
    if (e.models.empty() || e.models.find_first_not_of("LQNB*-") != std::string::npos)
      problem(e.name + ": models are letters of LQNB, or * or -");
    if (e.does.empty()) problem(e.name + ": says nothing of what it does");
    if (!f[3].empty()) {
      for (const std::string& item : Split(f[3], ';')) {
        Answer a;
        if (!ParseAnswer(item, a)) {
          problem(e.name + ": answer does not read: " + item);
          continue;
        }
        e.answers.push_back(a);
      }
    }
    if (!f[4].empty()) {
      for (const std::string& item : Split(f[4], ';')) {
        const size_t colon = item.find(':');
        if (colon == std::string::npos) {
          problem(e.name + ": parameter form without ':': " + item);
          continue;
        }
        e.forms[Trim(item.substr(0, colon))] = Trim(item.substr(colon + 1));
      }
    }
    e.codes = f[5];
    e.files = f[6];
    by_name[e.name] = e;
  }

  for (const Declared& d : DeclaredExports()) {
    auto it = by_name.find(d.name);
    if (it == by_name.end()) {
      problems.push_back("no entry for " + d.name);
      continue;
    }
    Entry e = it->second;
    if (!e.alias_of.empty()) {
      auto target = by_name.find(e.alias_of);
      if (target == by_name.end() || !target->second.alias_of.empty()) {
        problems.push_back(d.name + ": alias of an unknown export " + e.alias_of);
        continue;
      }
      Entry copy = target->second;
      copy.name = e.name;
      copy.group = e.group;
      copy.alias_of = e.alias_of;
      copy.parameters = e.parameters;
      e = copy;
      if (ParseParameters(d.parameters).size() !=
          ParseParameters(declared[e.alias_of]->parameters).size())
        problems.push_back(d.name + ": not the same parameters as " + e.alias_of);
    }
    std::set<std::string> names;
    for (const Parameter& p : e.parameters) {
      names.insert(p.name);
      const Answer* a = e.AnswerFor(p.name);
      if (p.is_output() && !a) problems.push_back(e.name + ": no answer for " + p.name);
      if (a && p.is_int_output() && a->kind != 'i' && a->kind != '-')
        problems.push_back(e.name + ": " + p.name + " is an integer answer (width i)");
      if (a && p.is_buffer() && (a->kind == 'i' || (a->kind != '-' && a->width <= 0)))
        problems.push_back(e.name + ": " + p.name + " is a buffer and needs a width");
      if (!p.is_output() && e.FormOf(p.name, ref.shared_forms).empty())
        problems.push_back(e.name + ": no form for the parameter " + p.name);
    }
    for (const Answer& a : e.answers)
      if (!names.count(a.name)) problems.push_back(e.name + ": answer for no parameter: " + a.name);
    for (const auto& [name, form] : e.forms)
      if (!names.count(name)) problems.push_back(e.name + ": form for no parameter: " + name);
    ref.entries.push_back(e);
  }
  return ref;
}

}  // namespace orvik::reference
