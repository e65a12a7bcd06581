#pragma once
// Reading the printer's memories into a TDM file and converting it into the Ato 17 text
// file through the outside libraries, each watched by a status thread whose snapshot the
// reading worker reads while it waits.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "ecf/bibliotecas.h"

namespace ecf {

// One complete status: readers always get all members of one moment.
struct Instantaneo {
  std::int32_t Status = 0;
  std::int32_t Total = 0;
  std::int32_t Atual = 0;
  std::string Mensagem;  // UTF-8
  std::int32_t Retorno = 0;
  // How many times the source has written the snapshot (0: never).
  std::uint64_t Escritas = 0;
  // The memory-reading library reports its progress as a percentage itself (with the
  // bytes received in Total); the conversion counts units. -1: count Atual of Total.
  int PercentualInformado = -1;
  // The progress 0-100: PercentualInformado when given, else the whole-number share Atual
  // of Total (0 without a total).
  int Percentual() const;
};

// The status snapshot of a status thread.
class TProgresso {
 public:
  virtual ~TProgresso() = default;
  virtual Instantaneo Le() const;

 protected:
  void Grava(Instantaneo s);
  void GravaStatus(std::int32_t status, const std::string& mensagem);

 private:
  mutable std::mutex m_;
  Instantaneo s_;
};

// Polls DLLReadStatus every IntervaloMs while it runs.
class TStatusTDM : public TProgresso {
 public:
  explicit TStatusTDM(const Bibliotecas& b, int intervalo_ms = 200);
  ~TStatusTDM() override;
  void Inicia();
  void Para();
  // Reads the library's status once, on the caller's thread.
  void LeAgora();

 private:
  void Corre();
  const Bibliotecas& b_;
  int intervalo_ms_;
  std::thread t_;
  std::mutex m_;
  std::condition_variable cv_;
  bool parar_ = false;
};

// One conversion TDM -> Ato 17 text file, running on its own thread from its creation.
class TStatusAtoCotep : public TProgresso {
 public:
  TStatusAtoCotep(const Bibliotecas& b, std::string NumeroSerie, std::string DataInicial,
                  std::string DataFinal, std::string ArquivoTDM, std::string Diretorio, int Tipo);
  // Waits for the conversion unless it was given up (Abandona).
  ~TStatusAtoCotep() override;

  // Waits up to ms for the conversion to end; true when it has.
  Instantaneo Le() const override;
  bool AguardaFim(int ms);
  bool Terminou() const;
  // The error raised inside the conversion (the text that 1030 carried), if any: kept
  // even when the final 1029 followed at once.
  std::optional<std::string> Erro() const;
  std::string ArquivoGerado() const;
  // Leaves a conversion that does not end to finish on its own (the library is never
  // unloaded, and the thread keeps what it needs alive).
  void Abandona();

 private:
  struct Estado;
  std::shared_ptr<Estado> e_;
  std::thread t_;
};

// The file name of a conversion: the first 3 characters of the serial and its last 5
// (a shorter serial gives what it has, never a character twice), trailing blanks
// removed, then ".txt".
std::string NomeArquivoAto17(const std::string& numero_serie);

class TAtoCotep {
 public:
  TAtoCotep(const Bibliotecas& b, std::string Diretorio, std::string NumeroSerie,
            std::string ArquivoTDM);
  // Starts a conversion (Tipo 1: one file for the period); dates as yyyymmdd.
  std::shared_ptr<TStatusAtoCotep> Gera(int Tipo, const std::string& DataInicial,
                                        const std::string& DataFinal);

 private:
  const Bibliotecas& b_;
  std::string Diretorio, NumeroSerie, ArquivoTDM;
};

class TTDM {
 public:
  TTDM(const Bibliotecas& b, std::string Porta, std::string NumeroSerie, std::string ArquivoTDM,
       std::string Diretorio, int intervalo_status_ms = 200);
  // Stops the status thread; a conversion still running is waited for unless abandoned.
  ~TTDM();

  bool LeituraFlag = true;
  // Starts the reading (the status thread first). Answers DLLReadLeMemorias' result.
  int LeMemorias();
  void GeraArquivoAto17(int Tipo, const std::string& DataInicial, const std::string& DataFinal);
  // Asks the library to stop a reading in progress (when it can).
  void CancelaLeitura();

  // The current source's snapshot: the reading's, then the conversion's.
  Instantaneo Atual() const;
  // The reading's snapshot taken just before the reading started (a stale status left by
  // an earlier reading).
  const Instantaneo& AntesDaLeitura() const { return antes_; }
  TStatusAtoCotep* Conversao() const { return conversao_.get(); }
  const std::string& ArquivoTDM() const { return ArquivoTDM_; }
  const std::string& Diretorio() const { return Diretorio_; }
  std::string ArquivoGerado() const;

 private:
  const Bibliotecas& b_;
  std::string Porta_, NumeroSerie_, ArquivoTDM_, Diretorio_;
  TStatusTDM status_;
  Instantaneo antes_;
  std::shared_ptr<TStatusAtoCotep> conversao_;
  std::atomic<bool> convertendo_{false};
};

// Status codes.
inline constexpr int kLendo1 = 96, kLendo2 = 112, kLido1 = 256, kLido2 = 512;
inline constexpr int kIniciandoRFD = 1025, kGerandoRFD = 1027, kRFDGerado = 1028,
                     kRFDTerminado = 1029, kRFDErro = 1030;

}  // namespace ecf
