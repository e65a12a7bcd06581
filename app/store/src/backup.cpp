#include "store/backup.h"

#include <fcntl.h>
#include <firebird/Interface.h>
#include <ibase.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include "common/text1252.h"
#include "store/data_module.h"
#include "store/firebird.h"

namespace store {

using namespace Firebird;
namespace fs = std::filesystem;

namespace {

IMaster* master() {
  static IMaster* m = fb_get_master_interface();
  return m;
}

// The engine's text for a failed call, as UTF-8 on one line per message.
std::string engine_text(IStatus* status) {
  char buf[2048];
  unsigned n = master()->getUtilInterface()->formatStatus(buf, sizeof buf, status);
  std::string text(buf, std::min<unsigned>(n, sizeof buf));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
  return common::cp1252_to_utf8(text);
}

// Where a location lives: the service manager to ask, the path the engine knows the
// database by, and the path this process sees it at (empty when on another machine).
struct Where {
  std::string service;
  std::string engine_path;
  std::string local_path;
};

Where where(const std::string& location) {
  if (!is_server_location(location)) return {"service_mgr", location, location};
  auto colon = location.find(':');
  std::string host = location.substr(0, colon);
  std::string path = location.substr(colon + 1);
  std::string name = host.substr(0, host.find('/'));
  // A server on this machine keeps its files where this process sees them too.
  bool here = name == "localhost" || name == "127.0.0.1";
  return {host + ":service_mgr", path, here ? path : std::string()};
}

std::string describe(const std::string& location) {
  return "\"" + location + "\"";
}

// One attachment to a service manager, detached on every path.
class Service {
 public:
  Service(const std::string& name, const ServerLogin& login) {
    ThrowStatusWrapper st(master()->getStatus());
    IXpbBuilder* spb = nullptr;
    IProvider* prov = master()->getDispatcher();
    try {
      spb = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::SPB_ATTACH, nullptr, 0);
      spb->insertString(&st, isc_spb_user_name, login.user.c_str());
      spb->insertString(&st, isc_spb_password, login.password.c_str());
      svc_ = prov->attachServiceManager(&st, name.c_str(), spb->getBufferLength(&st),
                                        spb->getBuffer(&st));
    } catch (const FbException& e) {
      std::string text = engine_text(e.getStatus());
      if (spb) spb->dispose();
      prov->release();
      st.dispose();
      throw BackupError("Não foi possível acessar o servidor de banco de dados: " + text);
    }
    spb->dispose();
    prov->release();
    st.dispose();
  }
  ~Service() {
    ThrowStatusWrapper st(master()->getStatus());
    try {
      svc_->detach(&st);
    } catch (const FbException&) {
      svc_->release();
    }
    st.dispose();
  }
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Starts an action; build adds its items after the action tag.
  void start(unsigned char action,
             const std::function<void(IXpbBuilder*, ThrowStatusWrapper*)>& build) {
    ThrowStatusWrapper st(master()->getStatus());
    IXpbBuilder* spb = nullptr;
    try {
      spb = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::SPB_START, nullptr, 0);
      spb->insertTag(&st, action);
      build(spb, &st);
      svc_->start(&st, spb->getBufferLength(&st), spb->getBuffer(&st));
    } catch (const FbException& e) {
      std::string text = engine_text(e.getStatus());
      if (spb) spb->dispose();
      st.dispose();
      throw BackupError(text);
    }
    spb->dispose();
    st.dispose();
  }

  // One exchange: send (may be empty), receive items, the answer into out.
  void query(const std::vector<unsigned char>& send, const std::vector<unsigned char>& receive,
             std::vector<unsigned char>& out) {
    ThrowStatusWrapper st(master()->getStatus());
    try {
      svc_->query(&st, static_cast<unsigned>(send.size()), send.data(),
                  static_cast<unsigned>(receive.size()), receive.data(),
                  static_cast<unsigned>(out.size()), out.data());
    } catch (const FbException& e) {
      std::string text = engine_text(e.getStatus());
      st.dispose();
      throw BackupError(text);
    }
    st.dispose();
  }

 private:
  IService* svc_ = nullptr;
};

unsigned read_u16(const unsigned char* p) {
  return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
}

// Waits at most a second for each answer, so a long quiet step still comes back.
std::vector<unsigned char> poll_send() {
  return {isc_info_svc_timeout, 4, 0, 1, 0, 0, 0};
}

// Asks the running service for `item` until it ends, handing each piece it sends to
// `piece`. The service ends when an answer brings nothing and asks for nothing more.
template <typename Piece>
void poll_service(Service& svc, unsigned char item, Piece&& piece) {
  std::vector<unsigned char> answer(32768);
  std::vector<unsigned char> send = poll_send();
  send.push_back(isc_info_end);
  const std::vector<unsigned char> items = {item};
  for (bool more = true; more;) {
    more = false;
    svc.query(send, items, answer);
    const unsigned char* p = answer.data();
    const unsigned char* end = p + answer.size();
    while (p < end && *p != isc_info_end) {
      unsigned char tag = *p++;
      if (tag == item) {
        if (end - p < 2) throw BackupError("resposta do servidor incompleta");
        unsigned n = read_u16(p);
        p += 2;
        if (static_cast<unsigned>(end - p) < n)
          throw BackupError("resposta do servidor incompleta");
        if (n > 0) {
          piece(p, n);
          more = true;
        }
        p += n;
      } else if (tag == isc_info_truncated || tag == isc_info_svc_timeout ||
                 tag == isc_info_data_not_ready) {
        more = true;
      } else {
        throw BackupError("resposta inesperada do servidor");
      }
    }
  }
}

// Streams the running backup's bytes into out.
void receive_backup(Service& svc, std::ostream& out, const BackupProgress& progress,
                    std::uint64_t total) {
  std::uint64_t done = 0;
  poll_service(svc, isc_info_svc_to_eof, [&](const unsigned char* p, unsigned n) {
    out.write(reinterpret_cast<const char*>(p), n);
    if (!out) throw BackupError("falha ao gravar o arquivo");
    done += n;
    if (progress) progress(done, std::max(done, total));
  });
}

// The report lines of a running service until it ends; each line is counted in progress.
std::string receive_lines(Service& svc, const BackupProgress& progress, bool* finished) {
  std::string lines;
  std::uint64_t count = 0;
  poll_service(svc, isc_info_svc_line, [&](const unsigned char* p, unsigned n) {
    std::string line(reinterpret_cast<const char*>(p), n);
    // What went wrong is kept for the message; the closing line says the run went
    // through to its end.
    if (line.find("ERROR") != std::string::npos || line.find("rror") != std::string::npos)
      lines += line + '\n';
    if (line.find("going home") != std::string::npos) *finished = true;
    if (progress) progress(++count, 0);
  });
  while (!lines.empty() && lines.back() == '\n') lines.pop_back();
  return common::cp1252_to_utf8(lines);
}

// Restores `file` into the database `target` (which must not exist). Throws with the
// engine's text; a target left half made is removed.
void restore_into(const std::string& file, const std::string& target, const ServerLogin& login,
                  const BackupProgress& progress);

// Standard input from /dev/null and standard output discarded, for the length of a scope.
class QuietTerminal {
 public:
  QuietTerminal() {
    std::fflush(stdout);
    in_ = ::dup(0);
    out_ = ::dup(1);
    int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::close(null);
    }
  }
  ~QuietTerminal() {
    std::fflush(stdout);
    if (in_ >= 0) ::dup2(in_, 0), ::close(in_);
    if (out_ >= 0) ::dup2(out_, 1), ::close(out_);
  }
  QuietTerminal(const QuietTerminal&) = delete;
  QuietTerminal& operator=(const QuietTerminal&) = delete;

 private:
  int in_ = -1, out_ = -1;
};

void attach_or_throw(const std::string& location, const ServerLogin& login,
                     const std::function<void(IAttachment*, ThrowStatusWrapper*)>& f) {
  ThrowStatusWrapper st(master()->getStatus());
  IXpbBuilder* dpb = nullptr;
  IProvider* prov = master()->getDispatcher();
  IAttachment* att = nullptr;
  try {
    dpb = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertString(&st, isc_dpb_user_name, login.user.c_str());
    dpb->insertString(&st, isc_dpb_password, login.password.c_str());
    att =
        prov->attachDatabase(&st, location.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
    f(att, &st);  // f detaches or drops
    att = nullptr;
  } catch (const FbException& e) {
    std::string text = engine_text(e.getStatus());
    if (att) att->release();
    if (dpb) dpb->dispose();
    prov->release();
    st.dispose();
    throw BackupError(text);
  }
  dpb->dispose();
  prov->release();
  st.dispose();
}

// Removes a database made by this module (a temporary restore); never throws.
void remove_database(const std::string& location, const ServerLogin& login) {
  Where w = where(location);
  std::error_code ec;
  if (!w.local_path.empty()) {
    fs::remove(w.local_path, ec);
    return;
  }
  try {
    attach_or_throw(location, login,
                    [](IAttachment* att, ThrowStatusWrapper* st) { att->dropDatabase(st); });
  } catch (const BackupError&) {
  }
}

void restore_into(const std::string& file, const std::string& target, const ServerLogin& login,
                  const BackupProgress& progress) {
  if (!std::ifstream(file, std::ios::binary))
    throw BackupError("Não foi possível ler o arquivo " + describe(file) + ".");
  Where w = where(target);
  // The engine reads the file itself, so it must be on this machine. (Sending it
  // through the service's input does not end cleanly with this engine.)
  if (w.local_path.empty())
    throw BackupError(
        "a restauração numa base de um servidor de outro computador não é "
        "possível daqui: restaure no próprio servidor");
  Service svc(w.service, login);
  std::string absolute = fs::absolute(file).string();
  // The embedded engine's restore runs in this process and, on a file that ends too
  // soon, asks on the terminal for the next volume: it gets an empty input instead, and
  // its own output is kept off this program's.
  std::optional<QuietTerminal> quiet;
  if (w.service == "service_mgr") quiet.emplace();
  try {
    svc.start(isc_action_svc_restore, [&](IXpbBuilder* spb, ThrowStatusWrapper* st) {
      spb->insertString(st, isc_spb_bkp_file, absolute.c_str());
      spb->insertString(st, isc_spb_dbname, w.engine_path.c_str());
      spb->insertInt(st, isc_spb_options, isc_spb_res_create);
      spb->insertTag(st, isc_spb_verbose);
    });
    bool finished = false;
    std::string lines = receive_lines(svc, progress, &finished);
    quiet.reset();
    // The service's report is the only word on the outcome: a restore cut short may
    // leave a database that opens, with its data missing. Only a report that reaches
    // its closing line counts.
    bool failed = lines.find("ERROR") != std::string::npos ||
                  lines.find("rror") != std::string::npos || !finished;
    if (!failed) {
      try {
        attach_or_throw(target, login,
                        [](IAttachment* att, ThrowStatusWrapper* st) { att->detach(st); });
      } catch (const BackupError& e) {
        failed = true;
        if (lines.empty()) lines = e.what();
      }
    }
    if (failed)
      throw BackupError(lines.empty() ? "o arquivo terminou antes do fim da cópia (incompleto "
                                        "ou não é uma cópia de segurança)"
                                      : lines);
  } catch (const BackupError&) {
    remove_database(target, login);
    throw;
  }
}

std::string temporary_beside(const std::string& location, const char* what) {
  return location + "." + what + "-" + std::to_string(::getpid());
}

}  // namespace

ServerLogin LoginFromParams(const std::vector<std::string>& params) {
  ServerLogin login;
  for (const std::string& p : params) {
    if (p.rfind("user_name=", 0) == 0) login.user = p.substr(10);
    if (p.rfind("password=", 0) == 0) login.password = p.substr(9);
  }
  return login;
}

int OtherConnections(const std::string& location, const ServerLogin& login) {
  Connection db;
  db.DatabaseName = location;
  db.Params = {"user_name=" + login.user, "password=" + login.password};
  try {
    db.Connect();
    Transaction tr(db, {"read_committed", "rec_version", "nowait", "read"});
    Query q("qConexoes", tr,
            "select count(*) as N from mon$attachments where mon$attachment_id <> "
            "current_connection and coalesce(mon$system_flag, 0) = 0");
    q.Open();
    int n = static_cast<int>(q.Rows().integer(0, "N"));
    q.Close();
    return n;
  } catch (const DatabaseError& e) {
    // An embedded file that another process keeps open cannot be attached here.
    std::string text = e.what();
    if (text.find("lock") != std::string::npos || text.find("in use") != std::string::npos)
      return 1;
    throw BackupError("Não foi possível abrir a base de dados " + describe(location) + ": " + text);
  }
}

void BackupDatabase(const std::string& location, const ServerLogin& login, const std::string& file,
                    const BackupProgress& progress) {
  Where w = where(location);
  fs::path final_name = fs::absolute(file);
  fs::path partial = final_name;
  partial += ".parcial-" + std::to_string(::getpid());
  std::error_code ec;
  std::uint64_t total = 0;
  if (!w.local_path.empty()) {
    total = fs::file_size(w.local_path, ec);
    if (ec) total = 0;
  }
  std::string failure;
  try {
    {
      std::ofstream out(partial, std::ios::binary | std::ios::trunc);
      if (!out) throw BackupError("não foi possível criar o arquivo");
      Service svc(w.service, login);
      svc.start(isc_action_svc_backup, [&](IXpbBuilder* spb, ThrowStatusWrapper* st) {
        spb->insertString(st, isc_spb_dbname, w.engine_path.c_str());
        spb->insertString(st, isc_spb_bkp_file, "stdout");
      });
      receive_backup(svc, out, progress, total);
      out.flush();
      if (!out) throw BackupError("falha ao gravar o arquivo");
    }
    if (fs::file_size(partial, ec) == 0 || ec) throw BackupError("o servidor não enviou nada");
    // The copy counts only once it restores.
    // Beside the base when its engine sees this machine's files, otherwise in this
    // machine's temporary folder through the embedded engine.
    std::string check =
        w.local_path.empty()
            ? (fs::temp_directory_path() / ("verifica-" + std::to_string(::getpid()) + ".fdb"))
                  .string()
            : temporary_beside(location, "verifica");
    remove_database(check, login);
    try {
      restore_into(partial.string(), check, login, {});
    } catch (const BackupError& e) {
      throw BackupError(std::string("a verificação da cópia falhou: ") + e.what());
    }
    remove_database(check, login);
    // Durable before it takes the name.
    if (FILE* f = std::fopen(partial.c_str(), "rb")) {
      ::fsync(fileno(f));
      std::fclose(f);
    }
    fs::rename(partial, final_name, ec);
    if (ec) throw BackupError("não foi possível dar o nome final ao arquivo: " + ec.message());
    return;
  } catch (const BackupError& e) {
    failure = e.what();
  }
  fs::remove(partial, ec);
  throw BackupError("Falha na cópia de segurança de " + describe(location) + " para " +
                    describe(final_name.string()) + ": " + failure);
}

void RestoreDatabase(const std::string& file, const std::string& location, const ServerLogin& login,
                     const BackupProgress& progress) {
  Where w = where(location);
  std::error_code ec;
  if (!fs::is_regular_file(file, ec))
    throw BackupError("O arquivo " + describe(file) + " não existe ou não é um arquivo.");
  bool exists = w.local_path.empty() || fs::exists(w.local_path, ec);
  auto refuse_if_open = [&] {
    if (exists && OtherConnections(location, login) > 0)
      throw BackupError("A base de dados " + describe(location) +
                        " está aberta em outro lugar; feche-a antes de restaurar.");
  };
  refuse_if_open();
  std::string fresh = temporary_beside(location, "restaurando");
  remove_database(fresh, login);
  try {
    restore_into(file, fresh, login, progress);
  } catch (const BackupError& e) {
    throw BackupError("O arquivo " + describe(file) +
                      " não pôde ser restaurado (a base de dados não foi alterada): " + e.what());
  }
  try {
    refuse_if_open();
  } catch (const BackupError&) {
    remove_database(fresh, login);
    throw;
  }
  if (!w.local_path.empty()) {
    // The old database goes only now, in one step.
    fs::rename(Where(where(fresh)).local_path, w.local_path, ec);
    if (ec) {
      remove_database(fresh, login);
      throw BackupError("Não foi possível substituir " + describe(location) + ": " + ec.message());
    }
    return;
  }
  // Not reached: restore_into refuses a server on another machine.
  remove_database(fresh, login);
  throw BackupError("Não foi possível substituir " + describe(location) + ".");
}

}  // namespace store
