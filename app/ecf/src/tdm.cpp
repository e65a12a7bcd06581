#include "ecf/tdm.h"

#include <chrono>
#include <cstring>
#include <stdexcept>

#include "common/files.h"
#include "common/text1252.h"

namespace ecf {

int Instantaneo::Percentual() const {
  if (PercentualInformado >= 0) return PercentualInformado > 100 ? 100 : PercentualInformado;
  if (Total <= 0 || Atual <= 0) return 0;
  long long p = static_cast<long long>(Atual) * 100 / Total;
  return p > 100 ? 100 : static_cast<int>(p);
}

Instantaneo TProgresso::Le() const {
  std::lock_guard lock(m_);
  return s_;
}

void TProgresso::Grava(Instantaneo s) {
  std::lock_guard lock(m_);
  s.Escritas = s_.Escritas + 1;
  s_ = std::move(s);
}

void TProgresso::GravaStatus(std::int32_t status, const std::string& mensagem) {
  std::lock_guard lock(m_);
  s_.Status = status;
  s_.Mensagem = mensagem;
  ++s_.Escritas;
}

// ---------------------------------------------------------------- reading status

TStatusTDM::TStatusTDM(const Bibliotecas& b, int intervalo_ms)
    : b_(b), intervalo_ms_(intervalo_ms) {}

TStatusTDM::~TStatusTDM() {
  Para();
}

void TStatusTDM::Inicia() {
  if (t_.joinable()) return;
  parar_ = false;
  t_ = std::thread([this] { Corre(); });
}

void TStatusTDM::Para() {
  {
    std::lock_guard lock(m_);
    parar_ = true;
  }
  cv_.notify_all();
  if (t_.joinable()) t_.join();
}

void TStatusTDM::LeAgora() {
  RegistroStatus r;
  std::memset(&r, 0, sizeof r);
  r.tamanho = sizeof r;
  std::memset(r.mensagem, ' ', sizeof r.mensagem);
  b_.DLLReadStatus(&r);
  // The text is exactly 128 bytes: a library that fills it to the end leaves no NUL.
  size_t n = 0;
  while (n < sizeof r.mensagem && r.mensagem[n] != '\0') ++n;
  Instantaneo s;
  s.Status = r.status;
  s.Retorno = r.retorno;
  s.Total = r.total;
  s.Atual = r.atual;
  s.PercentualInformado = r.atual < 0 ? 0 : r.atual;
  s.Mensagem = common::cp1252_to_utf8(common::trim(std::string_view(r.mensagem, n)));
  Grava(std::move(s));
}

void TStatusTDM::Corre() {
  std::unique_lock lock(m_);
  while (!parar_) {
    lock.unlock();
    LeAgora();
    lock.lock();
    cv_.wait_for(lock, std::chrono::milliseconds(intervalo_ms_), [this] { return parar_; });
  }
}

// ---------------------------------------------------------------- conversion

std::string NomeArquivoAto17(const std::string& numero_serie) {
  const std::string& s = numero_serie;
  std::string nome = s.substr(0, 3);
  if (s.size() > 3) nome += s.substr(s.size() > 8 ? s.size() - 5 : 3);
  while (!nome.empty() && nome.back() == ' ') nome.pop_back();
  return nome + ".txt";
}

struct TStatusAtoCotep::Estado : public TProgresso {
  const Bibliotecas* b = nullptr;
  std::string NumeroSerie, DataInicial, DataFinal, ArquivoTDM, Diretorio;
  int Tipo = 1;
  mutable std::mutex m;
  std::condition_variable cv;
  bool terminou = false;
  std::optional<std::string> erro;
  std::string ArquivoGerado;

  void Status(std::int32_t status, const std::string& mensagem) { GravaStatus(status, mensagem); }
  void Define(const Instantaneo& s) { Grava(s); }

  void Corre() {
    Status(kIniciandoRFD, "Iniciando Geração do arquivo RFD ...");
    try {
      std::string nome = NomeArquivoAto17(NumeroSerie);
      Instantaneo s = TProgresso::Le();
      s.Atual = 0;
      s.Total = 1;
      s.Status = kGerandoRFD;
      s.Mensagem = "Gerando arquivo RFD: " + nome;
      Define(s);
      std::string tdm = Diretorio + ArquivoTDM;
      std::string saida = Diretorio + nome;
      int r = b->DLLATO17GeraArquivo(tdm.c_str(), saida.c_str(), DataInicial.c_str(),
                                     DataFinal.c_str(), 'M', "01", "TDM");
      {
        std::lock_guard lock(m);
        ArquivoGerado = nome;
      }
      s = TProgresso::Le();
      s.Atual = 1;
      s.Retorno = r;
      s.Status = kRFDGerado;
      s.Mensagem = r == 0 ? "Arquivo RFD gerado com sucesso!" : "Arquivo RFD gerado com falha.";
      Define(s);
    } catch (const std::exception& e) {
      {
        std::lock_guard lock(m);
        erro = e.what();
      }
      Status(kRFDErro, e.what());
    }
    Status(kRFDTerminado, "Geração do arquivo RFD terminada.");
    {
      std::lock_guard lock(m);
      terminou = true;
    }
    cv.notify_all();
  }
};

TStatusAtoCotep::TStatusAtoCotep(const Bibliotecas& b, std::string NumeroSerie,
                                 std::string DataInicial, std::string DataFinal,
                                 std::string ArquivoTDM, std::string Diretorio, int Tipo)
    : e_(std::make_shared<Estado>()) {
  e_->b = &b;
  e_->NumeroSerie = std::move(NumeroSerie);
  e_->DataInicial = std::move(DataInicial);
  e_->DataFinal = std::move(DataFinal);
  e_->ArquivoTDM = std::move(ArquivoTDM);
  e_->Diretorio = std::move(Diretorio);
  e_->Tipo = Tipo;
  std::shared_ptr<Estado> e = e_;
  t_ = std::thread([e] { e->Corre(); });
}

TStatusAtoCotep::~TStatusAtoCotep() {
  if (t_.joinable()) t_.join();
}

Instantaneo TStatusAtoCotep::Le() const {
  return e_->Le();
}

bool TStatusAtoCotep::AguardaFim(int ms) {
  std::unique_lock lock(e_->m);
  return e_->cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return e_->terminou; });
}

bool TStatusAtoCotep::Terminou() const {
  std::lock_guard lock(e_->m);
  return e_->terminou;
}

std::optional<std::string> TStatusAtoCotep::Erro() const {
  std::lock_guard lock(e_->m);
  return e_->erro;
}

std::string TStatusAtoCotep::ArquivoGerado() const {
  std::lock_guard lock(e_->m);
  return e_->ArquivoGerado;
}

void TStatusAtoCotep::Abandona() {
  if (t_.joinable()) t_.detach();
}

TAtoCotep::TAtoCotep(const Bibliotecas& b, std::string Diretorio, std::string NumeroSerie,
                     std::string ArquivoTDM)
    : b_(b),
      Diretorio(std::move(Diretorio)),
      NumeroSerie(std::move(NumeroSerie)),
      ArquivoTDM(std::move(ArquivoTDM)) {
  while (!this->NumeroSerie.empty() && this->NumeroSerie.back() == ' ')
    this->NumeroSerie.pop_back();
}

std::shared_ptr<TStatusAtoCotep> TAtoCotep::Gera(int Tipo, const std::string& DataInicial,
                                                 const std::string& DataFinal) {
  return std::make_shared<TStatusAtoCotep>(b_, NumeroSerie, DataInicial, DataFinal, ArquivoTDM,
                                           Diretorio, Tipo);
}

// ---------------------------------------------------------------- TTDM

TTDM::TTDM(const Bibliotecas& b, std::string Porta, std::string NumeroSerie, std::string ArquivoTDM,
           std::string Diretorio, int intervalo_status_ms)
    : b_(b),
      Porta_(std::move(Porta)),
      NumeroSerie_(std::move(NumeroSerie)),
      ArquivoTDM_(std::move(ArquivoTDM)),
      Diretorio_(common::with_trailing_slash(std::move(Diretorio))),
      status_(b, intervalo_status_ms) {}

TTDM::~TTDM() {
  status_.Para();
  // A conversion still running is waited for by its own destructor, unless the caller
  // gave it up.
  conversao_.reset();
}

int TTDM::LeMemorias() {
  // What the library reports before this reading starts: a later status equal to it in
  // every member may be the previous reading's.
  status_.LeAgora();
  antes_ = status_.Le();
  status_.Inicia();
  std::string arquivo = Diretorio_ + ArquivoTDM_;
  return b_.DLLReadLeMemorias(Porta_.c_str(), arquivo.c_str(), NumeroSerie_.c_str(),
                              LeituraFlag ? 1 : 0);
}

void TTDM::GeraArquivoAto17(int Tipo, const std::string& DataInicial,
                            const std::string& DataFinal) {
  TAtoCotep ato(b_, Diretorio_, NumeroSerie_, ArquivoTDM_);
  conversao_ = ato.Gera(Tipo, DataInicial, DataFinal);
  convertendo_.store(true);
}

void TTDM::CancelaLeitura() {
  if (b_.DLLReadCancelaLeitura) b_.DLLReadCancelaLeitura();
}

Instantaneo TTDM::Atual() const {
  if (convertendo_.load() && conversao_) return conversao_->Le();
  return status_.Le();
}

std::string TTDM::ArquivoGerado() const {
  return conversao_ ? conversao_->ArquivoGerado() : std::string();
}

}  // namespace ecf
