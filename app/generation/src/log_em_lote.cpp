#include "generation/log_em_lote.h"

#include "common/clock.h"
#include "common/text1252.h"

namespace generation {

namespace {
// The LOG column's width in Windows-1252 characters; a longer line is cut, not lost.
constexpr std::size_t kLargura = 1024;
constexpr std::size_t kLote = 5000;
constexpr std::chrono::seconds kIdadeMaxima{1};
}  // namespace

bool ConfirmaAgora(std::size_t pendentes, std::chrono::steady_clock::duration idade, bool primeira,
                   const std::string& linha) {
  return primeira || pendentes >= kLote || idade >= kIdadeMaxima ||
         linha.find("Falha") != std::string::npos;
}

LogEmLote::LogEmLote(store::TdmTributarium& dm, std::function<void(const std::string&)> falha)
    : dm_(dm), falha_(std::move(falha)) {}

LogEmLote::~LogEmLote() {
  Confirma();
}

void LogEmLote::Grava(const std::string& linha) {
  common::LocalDateTime agora = common::clock::local_now();
  std::string texto = common::utf8_to_cp1252(linha);
  if (texto.size() > kLargura) texto.resize(kLargura);
  try {
    dm_.trCatalogo.StartTransaction();
    store::StoredProc& sp = dm_.spLogOperacao;
    sp.ClearParams();
    sp.SetParam("ID_USUARIO", static_cast<std::int64_t>(dm_.UsuarioLogado));
    sp.SetParam("DATA", store::Date{agora.year, agora.month, agora.day});
    sp.SetParam("HORA", store::Time{agora.hour, agora.minute, agora.second});
    sp.SetParam("TX_OPERACAO", common::cp1252_to_utf8(texto));
    sp.ExecProc();
    if (pendentes_++ == 0) desde_ = std::chrono::steady_clock::now();
  } catch (const store::DatabaseError& e) {
    try {
      dm_.trCatalogo.RollbackRetaining();
    } catch (const store::DatabaseError&) {
    }
    pendentes_ = 0;
    if (falha_) falha_(std::string("Erro ao gravar log: ") + e.what());
    return;
  }
  const bool primeira = primeira_;
  primeira_ = false;
  if (ConfirmaAgora(pendentes_, std::chrono::steady_clock::now() - desde_, primeira, linha))
    Confirma();
}

void LogEmLote::Confirma() {
  if (pendentes_ == 0) return;
  try {
    dm_.trCatalogo.CommitRetaining();
  } catch (const store::DatabaseError& e) {
    try {
      dm_.trCatalogo.RollbackRetaining();
    } catch (const store::DatabaseError&) {
    }
    if (falha_) falha_(std::string("Erro ao gravar log: ") + e.what());
  }
  pendentes_ = 0;
}

}  // namespace generation
