#include "generation/log_em_lote.h"

#include "common/clock.h"
#include "common/text1252.h"

namespace generation {

namespace {
// The LOG column's width in Windows-1252 characters; a longer line is cut, not lost.
constexpr std::size_t kLargura = 1024;
constexpr std::size_t kLote = 500;

bool LinhaDeDesmembramento(const std::string& linha) {
  return linha.find(" DesmembraRegistroTipo50") != std::string::npos;
}
}  // namespace

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
    ++pendentes_;
  } catch (const store::DatabaseError& e) {
    try {
      dm_.trCatalogo.RollbackRetaining();
    } catch (const store::DatabaseError&) {
    }
    pendentes_ = 0;
    if (falha_) falha_(std::string("Erro ao gravar log: ") + e.what());
    return;
  }
  if (!LinhaDeDesmembramento(linha) || pendentes_ >= kLote) Confirma();
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
