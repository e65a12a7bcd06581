// Gerencial reports, linked vouchers, non-fiscal receipts, withdrawal and supply.
#include "orvik/lumvar/documents.h"

#include <algorithm>

#include "document_texts.h"
#include "orvik/core/state.h"
#include "orvik/lumvar/amounts.h"
#include "orvik/lumvar/coupon.h"
#include "orvik/lumvar/engine.h"
#include "orvik/lumvar/queries.h"

namespace orvik::lumvar {
namespace {

using core::State;
using namespace document_texts;

constexpr int kGerencialNotProgrammed = 8018;
constexpr int kMaxGerencialAttempts = 20;

bool IsCode(const std::string& form) {
  return form == "-2" ||
         std::all_of(form.begin(), form.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The first failure of a one-call operation: kept while the later steps still run.
class FirstFailure {
 public:
  // Notes the step's failure when it is the first.
  void Note(int result) {
    if (result == 1 || failed_) return;
    failed_ = true;
    code_ = State().last_return_code;
    message_ = State().last_message;
  }
  bool failed() const { return failed_; }
  // Puts the first failure back as the last return code and message; answers 0.
  int Report() const {
    State().last_return_code = code_;
    State().last_message = message_;
    return 0;
  }

 private:
  bool failed_ = false;
  int code_ = 0;
  std::string message_;
};

enum class OneCall { kWithdrawal, kSupply, kReceipt };

// Withdrawal, supply and receipt in one call: open, item, payment, close. After the
// document opened every step runs, so the printer is left with no document open; when
// it did not open, nothing more is sent, as the payment and close would land on whatever
// document the printer has open.
int OneCallOperation(OneCall kind, const std::string& totalizer, const std::string& value,
                     const std::string& form) {
  FirstFailure failure;
  int r = ExecuteLumvar("AbreCupomNaoFiscal", "");
  failure.Note(r);
  if (failure.failed()) return failure.Report();
  r = ExecuteLumvar("EmiteItemNaoFiscal", "CodNaoFiscal=" + totalizer + " Valor=" + Cents(value));
  failure.Note(r);
  switch (kind) {
    case OneCall::kWithdrawal:
      Pay("-2", value, nullptr);
      break;
    case OneCall::kSupply:
      failure.Note(Pay(Blank(form) ? "-2" : form, value, nullptr));
      break;
    case OneCall::kReceipt:
      Pay(form, value, nullptr);
      break;
  }
  r = CloseDocument();
  failure.Note(r);
  // A receipt the printer will not close (no item went in, the payment fell short) would
  // keep the till from every other document: it is cancelled instead.
  if (r != 1) ExecuteLumvar("CancelaCupom", OperatorItem());
  if (failure.failed()) return failure.Report();
  return r;
}

}  // namespace

// ---- Gerencial reports ----

int AbreRelatorioGerencial() {
  int r = 0;
  for (int n = 0; n < kMaxGerencialAttempts; ++n) {
    r = ExecuteLumvar("AbreGerencial", "CodGerencial=" + std::to_string(n));
    if (r == 1 || State().last_return_code != kGerencialNotProgrammed) break;
  }
  return r;
}

int AbreRelatorioGerencialMFD(const std::string& index) {
  return ExecuteLumvar("AbreGerencial", "CodGerencial=" + index);
}

int UsaRelatorioGerencialMFD(const std::string& text) {
  int r = ExecuteLumvar("LeInteiro", "NomeInteiro=\"TipoDocEmEmissao\"");
  if (r != 1) return r;
  if (State().read_value != "15") {
    r = AbreRelatorioGerencial();
    if (r != 1) return r;
  }
  return ExecuteLumvar("ImprimeTexto", "TextoLivre=" + Quoted(text));
}

int RelatorioGerencial(const std::string& text) {
  return UsaRelatorioGerencialMFD(text);
}

int FechaRelatorioGerencial() {
  SetGerencialOpen(false);
  return CloseDocument();
}

int ImprimeDepartamentos() {
  int r = AbreRelatorioGerencial();
  if (r != 1) return r;
  r = ExecuteLumvar("ImprimeDadosDepartamento", "");
  if (r != 1) return r;
  return FechaRelatorioGerencial();
}

int NomeiaRelatorioGerencialMFD(const std::string& index, const std::string& name) {
  return ExecuteLumvar("DefineGerencial",
                       "CodGerencial=" + index + " NomeGerencial=" + Quoted(name));
}

// ---- Linked credit/debit vouchers ----

int AbreComprovanteNaoFiscalVinculado(const std::string& form, const std::string& value,
                                      const std::string& coo) {
  std::string parameters;
  if (!Blank(form))
    parameters += IsCode(form) ? "CodMeioPagamento=" + form : "NomeMeioPagamento=" + Quoted(form);
  if (!Blank(value)) parameters += " Valor = " + Cents(value);
  if (!Blank(coo)) parameters += " COO = " + coo;
  return ExecuteLumvar("AbreCreditoDebito", parameters);
}

int UsaComprovanteNaoFiscalVinculado(const std::string& text) {
  return ExecuteLumvar("ImprimeTexto", "TextoLivre=" + Quoted(text));
}

int FechaComprovanteNaoFiscalVinculado() {
  // Only the document's close: a voucher identifies no consumer and leaves ID.TXT to
  // the coupon it belongs with.
  return CloseDocument();
}

int EstornoNaoFiscalVinculadoMFD() {
  const int r = ReadRegister(6);
  if (r != 1) return r;
  return ExecuteLumvar("EstornaCreditoDebito", "COO=" + State().return_value);
}

int ReimpressaoNaoFiscalVinculadoMFD() {
  const int r = ExecuteLumvar("ReimprimeViaCreditoDebito", "");
  if (r == 1) FeedAfterDocument();
  return r;
}

int SegundaViaNaoFiscalVinculadoMFD() {
  const int r = ExecuteLumvar("EmiteViaCreditoDebito", "");
  if (r == 1) FeedAfterDocument();
  return r;
}

// ---- Non-fiscal receipts, withdrawal and supply ----

int RecebimentoNaoFiscal(const std::string& totalizer, const std::string& value,
                         const std::string& form) {
  return OneCallOperation(OneCall::kReceipt, totalizer, value, form);
}

int Sangria(const std::string& value) {
  return OneCallOperation(OneCall::kWithdrawal, State().sangria, value, "-2");
}

int Suprimento(const std::string& value, const std::string& form) {
  return OneCallOperation(OneCall::kSupply, State().suprimento, value, form);
}

int AbreRecebimentoNaoFiscalMFD(const std::string& id, const std::string& name,
                                const std::string& address) {
  return ExecuteLumvar("AbreCupomNaoFiscal", "IdConsumidor=" + Quoted(id) +
                                                 " EnderecoConsumidor=" + Quoted(address) +
                                                 " NomeConsumidor=" + Quoted(name));
}

int EfetuaRecebimentoNaoFiscalMFD(const std::string& totalizer, const std::string& value) {
  return ExecuteLumvar("EmiteItemNaoFiscal",
                       "CodNaoFiscal=" + totalizer + " Valor=" + Cents(value));
}

int AcrescimoItemNaoFiscalMFD(const std::string& /*item*/, const std::string& flag,
                              const std::string& type, const std::string& value) {
  const std::string sign = flag == "A" ? " " : "-";
  return ExecuteLumvar("AcresceItemNaoFiscal",
                       std::string("Cancelar=false ") +
                           (type == "%" ? "ValorPercentual=" : "ValorAcrescimo=") + sign +
                           Cents(value));
}

int CancelaAcrescimoNaoFiscalMFD(const std::string& item) {
  return ExecuteLumvar("AcresceItemNaoFiscal", "Cancelar=true NumItem=" + item);
}

int CancelaItemNaoFiscalMFD(const std::string& item) {
  return ExecuteLumvar("CancelaItemNaoFiscal", "NumItem=" + item);
}

int CancelaAcrescimoDescontoSubtotalRecebimentoMFD() {
  return ExecuteLumvar("AcresceSubtotal", "Cancelar=true");
}

int FechaRecebimentoNaoFiscalMFD(const std::string& message) {
  ExecuteLumvar("ImprimeTexto", "TextoLivre=" + Quoted(message));
  return CloseDocument();
}

int SubTotalComprovanteNaoFiscalMFD() {
  return ReadRegister(100);
}

}  // namespace orvik::lumvar
