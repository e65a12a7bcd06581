#include "generation/opcoes_geracao.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "common/files.h"

namespace generation {

namespace fs = std::filesystem;
using sintegra::TTipoRegistros;

std::string NomeDoMes(int mes) {
  static const char* const nomes[] = {"Janeiro",  "Fevereiro", "Março",    "Abril",
                                      "Maio",     "Junho",     "Julho",    "Agosto",
                                      "Setembro", "Outubro",   "Novembro", "Dezembro"};
  return mes >= 1 && mes <= 12 ? nomes[mes - 1] : "";
}

namespace {
bool DoCaixa(TTipoRegistros t) {
  switch (t) {
    case TTipoRegistros::Tipo60A:
    case TTipoRegistros::Tipo60D:
    case TTipoRegistros::Tipo60I:
    case TTipoRegistros::Tipo60M:
    case TTipoRegistros::Tipo60R:
    case TTipoRegistros::Tipo75:
      return true;
    default:
      return false;
  }
}
}  // namespace

sintegra::TListaTipoRegistros SelecaoDoRun(const std::set<TTipoRegistros>& escolhidos,
                                           int natureza) {
  sintegra::TListaTipoRegistros selecao;
  for (TTipoRegistros t : sintegra::kAllRecordKinds) {
    if (!escolhidos.count(t)) continue;
    if (natureza != 3 && DoCaixa(t)) continue;
    selecao.push_back(t);
  }
  return selecao;
}

bool AlgumTipo60(const sintegra::TListaTipoRegistros& selecao) {
  return std::any_of(selecao.begin(), selecao.end(),
                     [](TTipoRegistros t) { return DoCaixa(t) && t != TTipoRegistros::Tipo75; });
}

std::string PreenchaOCampo(const std::string& campo) {
  return "Por favor, preencha o campo \"" + campo + "\".";
}

std::optional<std::string> RecusaDoRun(const sintegra::TListaTipoRegistros& selecao,
                                       const std::string& arquivo60) {
  if (selecao.empty()) return std::string(kNenhumRegistro);
  if (AlgumTipo60(selecao) && arquivo60.empty()) return PreenchaOCampo(kCampoArquivo60);
  return std::nullopt;
}

fs::path PastaDaGeracao(const fs::path& path_sintegra, int ano, int mes) {
  return path_sintegra / std::to_string(ano) / NomeDoMes(mes);
}

bool CriaPasta(const fs::path& pasta) {
  std::error_code ec;
  fs::create_directories(pasta, ec);
  return fs::is_directory(pasta, ec);
}

int MascaraSubtipos(const sintegra::TListaTipoRegistros& selecao) {
  int m = 0;
  for (TTipoRegistros t : selecao) {
    if (t == TTipoRegistros::Tipo60D) m |= 4;
    if (t == TTipoRegistros::Tipo60I) m |= 8;
    if (t == TTipoRegistros::Tipo60R) m |= 16;
  }
  return m;
}

fs::path MoveArquivo(const fs::path& origem, const fs::path& pasta) {
  const fs::path destino = pasta / origem.filename();
  std::error_code ec;
  if (fs::equivalent(origem, destino, ec)) return destino;
  auto falha = [&](const std::string& o_que) {
    throw std::runtime_error("Não foi possível mover " + origem.string() + " para " +
                             pasta.string() + ": " + o_que);
  };
  std::optional<std::string> bytes = common::read_file(origem);
  if (!bytes) falha(std::strerror(errno));
  const fs::path aside = pasta / ("." + origem.filename().string() + ".novo");
  int fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) falha(std::strerror(errno));
  bool ok = common::write_all(fd, *bytes) && ::fsync(fd) == 0;
  int erro = errno;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(aside.c_str(), destino.c_str()) != 0) {
    if (ok) erro = errno;
    fs::remove(aside, ec);
    falha(std::strerror(erro));
  }
  // The new name is on the disk before the only other copy goes.
  if (int d = ::open(pasta.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); d >= 0) {
    ::fsync(d);
    ::close(d);
  }
  fs::remove(origem, ec);
  return destino;
}

}  // namespace generation
