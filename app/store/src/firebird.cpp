#include "store/firebird.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "common/text1252.h"
#include "firebird_client.h"

// The Firebird client keeps process-wide caches (character-set converters, the
// authentication's big numbers) that it never frees; the leak checker of sanitizer
// builds is told so, for every program that links the store. Weak: a program with
// its own list wins.
extern "C" __attribute__((weak, used)) const char* __lsan_default_suppressions() {
  return "leak:libfbclient.so\nleak:libtommath.so\nleak:libEngine12.so\nleak:__gconv\n"
         "leak:iconv_open\n";
}

namespace store {

namespace detail {

IMaster* master() {
  static IMaster* m = fb_get_master_interface();
  return m;
}

IUtil* util() {
  return master()->getUtilInterface();
}

std::string upper_ascii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

DatabaseError error_from(IStatus* status) {
  const intptr_t* v = status->getErrors();
  std::vector<std::intptr_t> codes;
  for (const intptr_t* p = v; p && *p != isc_arg_end;) {
    intptr_t tag = *p++;
    if (tag == isc_arg_gds) codes.push_back(*p);
    if (tag == isc_arg_cstring) ++p;  // length, then pointer
    ++p;
  }
  int sqlcode = static_cast<int>(isc_sqlcode(reinterpret_cast<const ISC_STATUS*>(v)));
  char buf[4096];
  unsigned n = util()->formatStatus(buf, sizeof buf, status);
  std::string text(buf, std::min<unsigned>(n, sizeof buf));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
  return DatabaseError(sqlcode, std::move(codes), common::cp1252_to_utf8(text));
}

DatabaseError not_connected() {
  return DatabaseError(-901, {}, "Banco de dados não conectado.");
}

}  // namespace detail

// ---------------------------------------------------------------- values

std::string date_text(const Date& d) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year % 10000, d.month % 100, d.day % 100);
  return buf;
}

bool parse_date(const std::string& text, Date& out) {
  int y, m, d;
  char rest;
  if (text.size() < 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &rest) < 3)
    return false;
  if (text[4] != '-' || text[7] != '-' || m < 1 || m > 12 || d < 1 || d > 31) return false;
  out = {y, m, d};
  return true;
}

DatabaseError::DatabaseError(int sqlcode, std::vector<std::intptr_t> codes, const std::string& text)
    : std::runtime_error(text), sqlcode_(sqlcode), codes_(std::move(codes)) {}

bool DatabaseError::has_code(std::intptr_t code) const {
  return std::find(codes_.begin(), codes_.end(), code) != codes_.end();
}

bool DatabaseError::is_truncation() const {
  return has_code(isc_string_truncation);
}

Connection::Connection() : impl_(std::make_unique<Impl>()) {}

Connection::~Connection() {
  Disconnect();
}

bool Connection::Connected() const {
  return impl_->att != nullptr;
}

void Connection::ReleaseStatements() {
  impl_->release_statements();
}

void Connection::Connect() {
  if (impl_->att) return;
  guarded([&] {
    Status st;
    IXpbBuilder* dpb = util()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    try {
      for (const std::string& p : Params) {
        auto eq = p.find('=');
        std::string key = eq == std::string::npos ? p : p.substr(0, eq);
        std::string value = eq == std::string::npos ? "" : p.substr(eq + 1);
        key = upper_ascii(std::string(common::trim(key)));
        if (key == "USER_NAME")
          dpb->insertString(&st, isc_dpb_user_name, value.c_str());
        else if (key == "PASSWORD")
          dpb->insertString(&st, isc_dpb_password, value.c_str());
      }
      IProvider* prov = master()->getDispatcher();
      try {
        impl_->att = prov->attachDatabase(&st, DatabaseName.c_str(), dpb->getBufferLength(&st),
                                          dpb->getBuffer(&st));
      } catch (...) {
        prov->release();
        throw;
      }
      prov->release();
    } catch (...) {
      dpb->dispose();
      throw;
    }
    dpb->dispose();
  });
}

void Connection::Disconnect() {
  if (!impl_->att) return;
  for (Query* q : impl_->queries) q->Close();
  for (Transaction* t : impl_->transactions) t->end_for_disconnect();
  impl_->release_statements();
  try {
    Status st;
    impl_->att->detach(&st);
  } catch (const FbException&) {
    impl_->att->release();
  }
  impl_->att = nullptr;
}

}  // namespace store
