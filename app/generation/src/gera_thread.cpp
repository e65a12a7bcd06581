#include "generation/gera_thread.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "common/clock.h"
#include "common/text1252.h"
#include "generation/valores.h"
#include "sintegra/registros.h"
#include "store/data_module.h"
#include "store/entities.h"

namespace generation {

namespace {

using sintegra::TRegistro;
using sintegra::TTipoRegistros;

constexpr const char kMensagemErro[] =
    "Ocorreu um erro durante a execução dessa operação.\nPor favor, entre em contato com o "
    "administrador do sistema.";
constexpr const char kTarefaProprietario[] =
    "Carregando informações do proprietário (Registros Tipo 10 e 11) ...";
constexpr const char kTarefa60[] = "Carregando informações dos registros tipo 60 ...";
constexpr const char kTarefa75[] =
    "Carregando informações dos códigos de produtos e serviços movimentados pela empresa "
    "(Registros Tipo 75) ...";

// A cancel request on its way out of the run. Not a std::exception, so that the steps
// that catch every error let it pass.
struct Cancelamento {};

store::TdmTributarium& Modulo() {
  if (!store::dmTributarium) throw store::Erro("O módulo de dados não foi criado.");
  return *store::dmTributarium;
}

// Database texts arrive as UTF-8; record values are Windows-1252.
std::string Cp(const std::string& utf8) {
  return common::utf8_to_cp1252(utf8);
}

// The same for a value set at once: plain ASCII, most values, is the same text in both and
// is passed on without a copy; anything else is converted into convertido.
std::string_view Cp(const std::string& utf8, std::string& convertido) {
  for (unsigned char c : utf8) {
    if (c >= 0x80) {
      convertido = common::utf8_to_cp1252(utf8);
      return convertido;
    }
  }
  return utf8;
}

int Coluna(const store::RowSet& r, const char* nome) {
  int c = r.column(nome);
  if (c < 0) throw std::out_of_range(std::string("coluna ausente: ") + nome);
  return c;
}

// Column positions looked up once per query rather than once per value. The rows may
// come whole (linha counts them) or one at a time (each row at linha 0).
class Colunas {
 public:
  explicit Colunas(const store::RowSet& r) : r_(&r) {}
  // The rows read from now on: the next row handed over by a reading one row at a time.
  void Le(const store::RowSet& r) { r_ = &r; }
  int operator()(const char* nome) {
    auto it = posicoes_.find(nome);
    if (it != posicoes_.end()) return it->second;
    int c = Coluna(*r_, nome);
    posicoes_.emplace(nome, c);
    return c;
  }
  const std::string& Valor(size_t linha, const char* nome) {
    return r_->rows[linha][(*this)(nome)];
  }
  // Valid until the next call: for a value that is set at once.
  std::string_view Texto(size_t linha, const char* nome) { return Cp(Valor(linha, nome), texto_); }

 private:
  const store::RowSet* r_;
  std::unordered_map<std::string_view, int> posicoes_;
  std::string texto_;
};

std::string DataCompacta(const store::Date& d) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year, d.month, d.day);
  return buf;
}

// "YYYY-MM-DD" as the row sets give dates, written yyyymmdd.
std::string DataCompacta(const std::string& texto) {
  store::Date d;
  return store::parse_date(texto, d) ? DataCompacta(d) : std::string();
}

int UltimoDia(int ano, int mes) {
  static const int dias[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (mes == 2 && ((ano % 4 == 0 && ano % 100 != 0) || ano % 400 == 0)) return 29;
  return dias[(mes - 1) % 12];
}

std::string LinhaInicio(const std::string& passo) {
  return "--> Inicio " + passo + ".";
}
std::string LinhaFim(const std::string& passo, bool ok) {
  return "<-- Fim " + passo + (ok ? " - SUCESSO." : " - FALHA.");
}

void Copia(TRegistro& destino, const TRegistro& origem, int campo) {
  destino.AtribuiValor(campo, origem.ValueView(campo));
}

// The split records of one invoice: one per rate, in the order the rates first occur.
void AgrupaPorAliquota(std::vector<std::shared_ptr<TRegistro>>& lista,
                       const std::shared_ptr<TRegistro>& s) {
  for (auto& r : lista) {
    if (r->ValueView(16) != s->ValueView(16)) continue;
    for (int campo = 11; campo <= 14; ++campo) {
      std::int64_t soma = Inteiro(r->ObtemValor(campo)) + Inteiro(s->ObtemValor(campo));
      r->AtribuiValor(campo, TextoCentavos(soma));
    }
    return;
  }
  lista.push_back(s);
}

// Where the columns of the period's items (qBuscaProdutoNF) are, found once per reading.
struct ColunasDosItens {
  explicit ColunasDosItens(const store::RowSet& r)
      : nota(Coluna(r, "ID_NOTA")),
        item(Coluna(r, "NB_ITEM")),
        produto(Coluna(r, "ID_PRODUTO")),
        codigo(Coluna(r, "CD_PRODUTO")),
        aliquota(Coluna(r, "TX_ALIQUOTA")),
        base_icms(Coluna(r, "TX_BASE_ICMS")),
        base_substituicao(Coluna(r, "TX_BASE_SUBSTITUICAO")),
        cnpj(Coluna(r, "TX_CNPJ")),
        modelo(Coluna(r, "NB_MODELO")),
        serie(Coluna(r, "TX_SERIE")),
        numero(Coluna(r, "NB_NOTA")),
        cfop(Coluna(r, "NB_CFOP")),
        cst(Coluna(r, "NB_CST")),
        quantidade(Coluna(r, "TX_QUANTIDADE")),
        valor_item(Coluna(r, "TX_VALOR_ITEM")),
        desconto(Coluna(r, "TX_VALOR_DESCONTO")),
        ipi(Coluna(r, "TX_VALOR_IPI")) {}
  int nota, item, produto, codigo, aliquota, base_icms, base_substituicao;
  int cnpj, modelo, serie, numero, cfop, cst, quantidade, valor_item, desconto, ipi;
};

// The type-54 line of one item row into linha. One record serves every item: each of its
// fields is set for each.
void Linha54(const std::vector<std::string>& v, const ColunasDosItens& c, sintegra::TRegTipo54& reg,
             std::string& convertido, std::string& linha) {
  reg.SetCnpj(Cp(v[c.cnpj], convertido));
  reg.SetModel(Cp(v[c.modelo], convertido));
  reg.SetSeries(Cp(v[c.serie], convertido));
  reg.SetNumber(Cp(v[c.numero], convertido));
  reg.SetCfop(Cp(v[c.cfop], convertido));
  reg.SetSituationCode(Cp(v[c.cst], convertido));
  reg.SetItemNumber(Cp(v[c.item], convertido));
  reg.SetProductCode(Cp(v[c.codigo], convertido));
  const std::string& quantidade = v[c.quantidade];
  reg.SetQuantity(Cp(quantidade, convertido));
  reg.SetProductValue(TextoCentavos(ValorProduto(Inteiro(quantidade), Inteiro(v[c.valor_item]))));
  reg.SetDiscount(Cp(v[c.desconto], convertido));
  reg.SetIcmsBase(Cp(v[c.base_icms], convertido));
  reg.SetSubstitutionBase(Cp(v[c.base_substituicao], convertido));
  reg.SetIpiValue(Cp(v[c.ipi], convertido));
  reg.SetRate(Cp(v[c.aliquota], convertido));
  linha.clear();
  reg.AppendRenderedLine(linha);
}

// An integer column's text as RowSet::integer reads it: 0 for NULL.
std::int64_t NumeroOuZero(const std::string& texto) {
  std::int64_t v = 0;
  auto [fim, erro] = std::from_chars(texto.data(), texto.data() + texto.size(), v);
  return erro == std::errc() ? v : 0;
}

}  // namespace

std::string CodigoFinalidade(int finalidade) {
  switch (finalidade) {
    case 1:
      return "1";
    case 2:
      return "2";
    case 3:
      return "3";
    case 4:
      return "5";
    default:
      return "";
  }
}

TGeraThread::TGeraThread(ObservadorGeracao& observador) : observador_(observador) {}
TGeraThread::~TGeraThread() = default;

bool TGeraThread::Selecionado(TTipoRegistros tipo) const {
  return std::find(TiposSelecionados.begin(), TiposSelecionados.end(), tipo) !=
         TiposSelecionados.end();
}

bool TGeraThread::AlgumTipo60Selecionado() const {
  for (TTipoRegistros t :
       {TTipoRegistros::Tipo60M, TTipoRegistros::Tipo60A, TTipoRegistros::Tipo60D,
        TTipoRegistros::Tipo60I, TTipoRegistros::Tipo60R})
    if (Selecionado(t)) return true;
  return false;
}

void TGeraThread::Cancela() {
  cancelar_.store(true);
  std::lock_guard lock(m_suspensao_);
  cv_suspensao_.notify_all();
}

void TGeraThread::Suspende() {
  suspenso_.store(true);
}

void TGeraThread::Retoma() {
  suspenso_.store(false);
  std::lock_guard lock(m_suspensao_);
  cv_suspensao_.notify_all();
}

void TGeraThread::VerificaCancelamento() const {
  if (suspenso_.load(std::memory_order_relaxed)) {
    std::unique_lock lock(m_suspensao_);
    cv_suspensao_.wait(lock, [this] { return !suspenso_.load() || cancelar_.load(); });
  }
  if (cancelar_.load(std::memory_order_relaxed)) throw Cancelamento{};
}

void TGeraThread::Pausa() const {
  if (PausaMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(PausaMs));
}

void TGeraThread::Passo(bool (TGeraThread::*passo)(), const char* falha) {
  VerificaCancelamento();
  if (!(this->*passo)()) throw std::runtime_error(falha);
  Pausa();
}

ResultadoGeracao TGeraThread::Executa() {
  ResultadoGeracao resultado;
  observador_.Ocupado(true);
  observador_.Log("--> Inicio Thread de Geração do Sintegra");
  observador_.AguardaExibicao();
  // Other desks may be editing the base meanwhile: the whole run reads one state of it.
  std::optional<store::LeituraConsistente> leitura;
  if (store::dmTributarium) leitura.emplace(*store::dmTributarium);
  try {
    inicio_ = {Ano, Mes, 1};
    fim_ = {Ano, Mes, UltimoDia(Ano, Mes)};
    inicio_texto_ = DataCompacta(inicio_);
    fim_texto_ = DataCompacta(fim_);
    itens_lidos_ = false;
    notas_desmembradas_.clear();
    codigos_movimentados_.clear();
    SintegraArquivo.reset();
    saida_ = std::make_unique<sintegra::TSintegra>(
        [this](const std::string& linha) { observador_.Log(linha); });
    saida_->DefineDiretorio(DiretorioSaida);
    // The records go into the file as they are made rather than being held for the month.
    saida_->EscreveAoAdicionar();
    observador_.Progresso("", 0);
    observador_.Log("- Inicio Carregando dados do Banco de Dados");

    if (Mes < 1 || Mes > 12) throw std::runtime_error("Mês inválido.");
    if (Selecionado(TTipoRegistros::Tipo10)) {
      observador_.Progresso(kTarefaProprietario, 0);
      Passo(&TGeraThread::CarregaRegistroTipo10, "Carregando Registro Tipo 10.");
    }
    if (Selecionado(TTipoRegistros::Tipo11)) {
      observador_.Progresso(kTarefaProprietario, 6);
      Passo(&TGeraThread::CarregaRegistroTipo11, "Carregando Registro Tipo 11.");
    }
    if (Selecionado(TTipoRegistros::Tipo50)) {
      observador_.Progresso("Carregando informações das notas fiscais (Registros Tipo 50) ...", 12);
      Passo(&TGeraThread::CarregaRegistroTipo50, "Carregando Registro Tipo 50.");
    }
    if (Selecionado(TTipoRegistros::Tipo54)) {
      observador_.Progresso(
          "Carregando informações dos itens das notas fiscais (Registros Tipo 54) ...", 18);
      Passo(&TGeraThread::CarregaRegistroTipo54, "Carregando Registro Tipo 54.");
    }
    if (AlgumTipo60Selecionado()) {
      VerificaCancelamento();
      LeArquivoRegistros60e75();
      observador_.Progresso(kTarefa60, 39);
      Passo(&TGeraThread::CarregaRegistrosTipo60e75, "Carregando Registro Tipo 60.");
    }
    if (Selecionado(TTipoRegistros::Tipo74)) {
      observador_.Progresso("Carregando informações de inventário (Registros Tipo 74) ...", 60);
      Passo(&TGeraThread::CarregaRegistroTipo74, "Carregando Registro Tipo 74.");
    }
    if (Selecionado(TTipoRegistros::Tipo75)) {
      observador_.Progresso(kTarefa75, 66);
      Passo(&TGeraThread::CarregaRegistroTipo75, "Carregando Registro Tipo 75.");
    }
    VerificaCancelamento();
    observador_.Progresso("Gravando arquivo Sintegra.txt ...", 72);
    observador_.Log("- Fim Carregando dados do Banco de Dados");
    VerificaCancelamento();
    if (!saida_->GeraArquivo()) {
      std::string erro = "Gravando Arquivo Sintegra.";
      if (!saida_->LastError().empty()) erro += "\n" + saida_->LastError();
      throw std::runtime_error(erro);
    }
    Pausa();
    resultado.situacao = ResultadoGeracao::Situacao::Sucesso;
    resultado.arquivo = saida_->OutputPath().string();
    observador_.Progresso("Operação realizada com sucesso!", 100);
    observador_.Mensagem(
        true, "Sucesso!",
        "Operação realizada com sucesso!\nArquivo gerado em: \n" + resultado.arquivo);
    observador_.Log("- Arquivo sintegra gerado com sucesso");
  } catch (const Cancelamento&) {
    resultado.situacao = ResultadoGeracao::Situacao::Cancelada;
  } catch (const std::exception& e) {
    resultado.situacao = ResultadoGeracao::Situacao::Falha;
    resultado.erro = e.what();
    observador_.Progresso(kMensagemErro, 100);
    observador_.Mensagem(false, "Erro!",
                         std::string(kMensagemErro) + "\n\nErro:\n" + resultado.erro);
    observador_.Log("- Falha ao gerar o arquivo sintegra. Erro: " + resultado.erro);
  }
  saida_.reset();
  SintegraArquivo.reset();
  linhas54_.reset();
  erro54_ = nullptr;
  itens_lidos_ = false;
  notas_desmembradas_.clear();
  codigos_movimentados_.clear();
  // A cancelled run leaves the display alone: whoever cancelled has closed it.
  if (resultado.situacao == ResultadoGeracao::Situacao::Cancelada) {
    observador_.Log("- Geração do arquivo sintegra cancelada pelo usuário");
    observador_.Log("<-- Fim Thread de Geração do Sintegra.");
    return resultado;
  }
  observador_.Ocupado(false);
  observador_.Log("<-- Fim Thread de Geração do Sintegra.");
  observador_.Fecha();
  return resultado;
}

bool TGeraThread::CarregaRegistroTipo10() {
  observador_.Log(LinhaInicio("CarregaRegistroTipo10"));
  store::TProprietario p;
  bool ok = p.Carregar();
  if (ok) {
    auto r = std::make_shared<sintegra::TRegTipo10>();
    r->SetCnpj(Cp(p.TX_CNPJ));
    r->SetStateRegistration(Cp(p.TX_IE));
    r->SetName(Cp(p.TX_RAZAO_SOCIAL));
    r->SetCity(Cp(p.TX_CIDADE));
    r->SetState(Cp(p.TX_ESTADO));
    r->SetFax(Cp(p.TX_FAX));
    r->SetPeriodStart(inicio_texto_);
    r->SetPeriodEnd(fim_texto_);
    r->SetLayoutCode("3");
    r->SetNature(std::to_string(NaturezaOperacao));
    r->SetPurpose(CodigoFinalidade(Finalidade));
    ok = saida_->AdicionaRegistro(r);
  }
  observador_.Log(LinhaFim("CarregaRegistroTipo10", ok));
  return ok;
}

bool TGeraThread::CarregaRegistroTipo11() {
  observador_.Log(LinhaInicio("CarregaRegistroTipo11"));
  store::TProprietario p;
  bool ok = p.Carregar();
  if (ok) {
    auto r = std::make_shared<sintegra::TRegTipo11>();
    r->SetStreet(Cp(p.TX_LOGRADOURO));
    r->SetNumber(std::to_string(p.NB_NUMERO));
    r->SetComplement(Cp(p.TX_COMPLEMENTO));
    r->SetDistrict(Cp(p.TX_BAIRRO));
    r->SetPostalCode(Cp(p.TX_CEP));
    r->SetContact(Cp(p.TX_NOME_CONTATO));
    r->SetTelephone(Cp(p.TX_TELEFONE));
    ok = saida_->AdicionaRegistro(r);
  }
  observador_.Log(LinhaFim("CarregaRegistroTipo11", ok));
  return ok;
}

void TGeraThread::PorNota(
    const std::function<void(const store::RowSet&, const std::vector<size_t>&)>& f) {
  store::Query& q = Modulo().qBuscaProdutoNF;
  q.SetParam("DtInicial", inicio_);
  q.SetParam("DtFinal", fim_);
  // The rows come grouped by invoice; inside an invoice they go by item number.
  store::RowSet nota;
  // The rows of earlier invoices, filled again for later ones: their texts keep their room.
  std::vector<std::vector<std::string>> livres;
  int col_nota = -1, col_item = -1;
  std::vector<size_t> ordem;
  std::vector<std::int64_t> numero_item;
  auto entrega = [&] {
    if (nota.empty()) return;
    ordem.resize(nota.size());
    for (size_t i = 0; i < nota.size(); ++i) ordem[i] = i;
    numero_item.resize(nota.size());
    for (size_t i = 0; i < nota.size(); ++i) numero_item[i] = NumeroOuZero(nota.rows[i][col_item]);
    std::stable_sort(ordem.begin(), ordem.end(),
                     [&](size_t a, size_t b) { return numero_item[a] < numero_item[b]; });
    f(nota, ordem);
    for (auto& linha : nota.rows) livres.push_back(std::move(linha));
    nota.rows.clear();
    nota.nulls.clear();
  };
  q.ForEachRow([&](const store::RowSet& linha) {
    if (col_nota < 0) {
      nota.columns = linha.columns;
      col_nota = linha.column("ID_NOTA");
      col_item = linha.column("NB_ITEM");
      if (col_nota < 0 || col_item < 0) throw std::out_of_range("coluna ausente: ID_NOTA");
    }
    // An invoice without items is a row of its own.
    bool sem_itens = linha.nulls[0][col_nota];
    if (!nota.empty() &&
        (sem_itens || nota.nulls[0][col_nota] || nota.rows[0][col_nota] != linha.rows[0][col_nota]))
      entrega();
    if (livres.empty()) {
      nota.rows.push_back(linha.rows[0]);
    } else {
      nota.rows.push_back(std::move(livres.back()));
      livres.pop_back();
      nota.rows.back() = linha.rows[0];
    }
    nota.nulls.push_back(linha.nulls[0]);
  });
  entrega();
}

void TGeraThread::LeItensDoPeriodo() {
  if (itens_lidos_) return;
  notas_desmembradas_.clear();
  codigos_movimentados_.clear();
  erro54_ = nullptr;
  linhas54_.reset();
  // The type-54 records are made here, in the same reading, and kept until their turn.
  const bool com54 = Selecionado(TTipoRegistros::Tipo54);
  if (com54) linhas54_ = std::make_unique<LinhasGuardadas>();
  std::optional<ColunasDosItens> colunas;
  sintegra::TRegTipo54 reg54;
  std::string convertido, linha54;
  PorNota([&](const store::RowSet& r, const std::vector<size_t>& ordem) {
    if (!colunas) colunas.emplace(r);
    const ColunasDosItens& c = *colunas;
    for (size_t i = 0; i < r.size(); ++i) {
      if (r.nulls[i][c.produto]) continue;
      std::string codigo = r.rows[i][c.codigo];
      while (!codigo.empty() && codigo.back() == ' ') codigo.pop_back();
      codigos_movimentados_.insert(std::move(codigo));
    }
    // The error of a type-54 record belongs to its own step: it is kept for it, and the
    // records after it are not made.
    if (com54 && !erro54_) {
      try {
        for (size_t i : ordem) {
          VerificaCancelamento();
          // An invoice without items comes as one row with empty item columns: it has its
          // type-50 record and nothing to list as items.
          if (r.nulls[i][c.produto]) continue;
          Linha54(r.rows[i], c, reg54, convertido, linha54);
          linhas54_->Guarda(linha54);
        }
      } catch (const std::exception&) {
        erro54_ = std::current_exception();
      }
    }
    if (r.nulls[0][c.nota]) return;
    // Items with more than one rate: the same texts compared, as the invoice editor keeps them.
    const std::string& primeira = r.rows[ordem[0]][c.aliquota];
    bool diferentes = false;
    for (size_t k = 1; k < ordem.size() && !diferentes; ++k)
      diferentes = r.rows[ordem[k]][c.aliquota] != primeira;
    if (!diferentes) return;
    std::vector<ItemDesmembrado>& itens = notas_desmembradas_[NumeroOuZero(r.rows[0][c.nota])];
    for (size_t i : ordem)
      itens.push_back(
          {r.rows[i][c.aliquota], r.rows[i][c.base_icms], r.rows[i][c.base_substituicao]});
  });
  itens_lidos_ = true;
}

bool TGeraThread::CarregaRegistroTipo50() {
  observador_.Log(LinhaInicio("CarregaRegistroTipo50"));
  LeItensDoPeriodo();
  store::Query& q = Modulo().qBuscaNotasPorPeriodo;
  q.Close();
  q.SetParam("DtInicial", inicio_);
  q.SetParam("DtFinal", fim_);
  bool ok = true;
  // The invoices as they come, none held: each is one record, or its split records.
  std::optional<Colunas> colunas;
  q.ForEachRow([&](const store::RowSet& nota) {
    if (!ok) return;
    VerificaCancelamento();
    if (!colunas) colunas.emplace(nota);
    Colunas& cn = *colunas;
    cn.Le(nota);
    const size_t i = 0;
    auto r = std::make_shared<sintegra::TRegTipo50>();
    r->SetCnpj(cn.Texto(i, "TX_CNPJ"));
    r->SetStateRegistration(cn.Texto(i, "TX_IE"));
    r->SetIssueDate(DataCompacta(cn.Valor(i, "DT_EMISSAO")));
    r->SetState(cn.Texto(i, "TX_UF"));
    r->SetModel(cn.Texto(i, "NB_MODELO"));
    r->SetSeries(cn.Texto(i, "TX_SERIE"));
    r->SetNumber(cn.Texto(i, "NB_NOTA"));
    r->SetCfop(cn.Texto(i, "NB_CFOP"));
    r->SetIssuer(cn.Valor(i, "TX_EMITENTE") == "Próprio" ? "P" : "T");
    r->SetSituation(cn.Texto(i, "TX_SITUACAO"));
    r->SetOtherValues(cn.Texto(i, "TX_OUTROS_VALORES"));

    std::int64_t id_nota = Inteiro(cn.Valor(i, "ID_NOTA"));
    if (notas_desmembradas_.count(id_nota)) {
      ok = DesmembraRegistroTipo50(id_nota, *r);
    } else {
      r->SetTotalValue(cn.Texto(i, "TX_VALOR_TOTAL"));
      r->SetIcmsBase(cn.Texto(i, "TX_BASE_ICMS"));
      r->SetIcmsValue(cn.Texto(i, "TX_VALOR_ICMS"));
      r->SetExemptValue(cn.Texto(i, "TX_VALOR_ISENTO"));
      r->SetRate(cn.Texto(i, "TX_ALIQUOTA"));
      ok = saida_->AdicionaRegistro(r);
    }
  });
  q.Close();
  observador_.Log(LinhaFim("CarregaRegistroTipo50", ok));
  return ok;
}

bool TGeraThread::DesmembraRegistroTipo50(std::int64_t id_nota, TRegistro& nota) {
  observador_.Log(LinhaInicio("DesmembraRegistroTipo50"));
  std::vector<std::shared_ptr<TRegistro>> lista;
  for (const ItemDesmembrado& item : notas_desmembradas_.at(id_nota)) {
    VerificaCancelamento();
    auto s = std::make_shared<sintegra::TRegTipo50>();
    for (int campo : {2, 3, 4, 5, 6, 7, 8, 9, 10, 17, 15}) Copia(*s, nota, campo);
    s->SetRate(Cp(item.aliquota));
    std::int64_t taxa = CentavosComCasas(item.aliquota);
    s->SetIcmsBase(Cp(item.base_icms));
    std::int64_t base = CentavosComCasas(item.base_icms);
    s->SetIcmsValue(TextoCentavos(AplicaAliquota(taxa, base)));
    s->SetExemptValue(Cp(item.base_substituicao));
    s->SetTotalValue(TextoCentavos(base + CentavosComCasas(s->ObtemValor(15))));
    // Only the first split record carries the invoice's other values.
    nota.AtribuiValor(15, "000");
    AgrupaPorAliquota(lista, s);
  }
  bool ok = true;
  for (size_t k = 0; ok && k < lista.size(); ++k) ok = saida_->AdicionaRegistro(lista[k]);
  observador_.Log(LinhaFim("DesmembraRegistroTipo50", ok));
  return ok;
}

bool TGeraThread::CarregaRegistroTipo54() {
  observador_.Log(LinhaInicio("CarregaRegistroTipo54"));
  LeItensDoPeriodo();
  bool ok = true;
  if (linhas54_) {
    linhas54_->ParaCada([&](std::string_view linha) {
      if (!ok) return;
      VerificaCancelamento();
      ok = saida_->AdicionaLinha(linha);
    });
    linhas54_.reset();
  }
  if (ok && erro54_) std::rethrow_exception(std::exchange(erro54_, nullptr));
  observador_.Log(LinhaFim("CarregaRegistroTipo54", ok));
  return ok;
}

void TGeraThread::LeArquivoRegistros60e75() {
  observador_.Progresso("Lendo arquivo contendo os registros tipo 60 e tipo 75 ...", 24);
  SintegraArquivo = std::make_unique<sintegra::TSintegra>();
  if (ArquivoRegistros60e75.empty())
    throw std::runtime_error("Lendo arquivo de registros tipo 60 e 75.");
  SintegraArquivo->CarregaArquivo(ArquivoRegistros60e75);
}

bool TGeraThread::CarregaRegistrosTipo60e75() {
  observador_.Log(LinhaInicio("CarregaRegistrosTipo60e75"));
  bool ok = true;
  try {
    if (SintegraArquivo) {
      const sintegra::TListaRegistros& registros = SintegraArquivo->Registros();
      double n = static_cast<double>(registros.size());
      int percentual = 39;
      double acumulado = 0;
      for (size_t i = 0; ok && i < registros.size(); ++i) {
        VerificaCancelamento();
        const auto& reg = registros[i];
        if (reg->ValueView(1) != "60") continue;
        auto tipo = sintegra::KindFromName("60" + reg->ObtemValor(2));
        if (tipo && Selecionado(*tipo)) ok = saida_->AdicionaRegistro(reg);
        if (percentual < 60) {
          acumulado += 21.0 / n;
          if (acumulado > 1) {
            percentual += static_cast<int>(acumulado);
            observador_.Progresso(kTarefa60, percentual);
            acumulado = 0;
          }
        }
      }
    }
  } catch (const std::exception&) {
    ok = false;
  }
  observador_.Log(LinhaFim("CarregaRegistrosTipo60e75", ok));
  return ok;
}

bool TGeraThread::CarregaRegistroTipo74() {
  observador_.Log(LinhaInicio("CarregaRegistroTipo74"));
  common::LocalDateTime agora = common::clock::local_now();
  store::Date hoje{agora.year, agora.month, agora.day};
  std::string data_execucao = DataCompacta(hoje);
  store::Query& q = Modulo().qBuscaInventario;
  q.Close();
  q.SetParam("DtInicial", store::Date{1900, 1, 1});
  q.SetParam("DtFinal", hoje);
  q.Open();
  const store::RowSet& linhas = q.Rows();
  Colunas cl(linhas);
  bool ok = true;
  for (size_t i = 0; ok && i < linhas.size(); ++i) {
    VerificaCancelamento();
    auto r = std::make_shared<sintegra::TRegTipo74>();
    r->SetInventoryDate(data_execucao);
    r->SetProductCode(cl.Texto(i, "CD_PRODUTO"));
    r->SetQuantity(cl.Texto(i, "QUANTIDADE"));
    r->SetProductValue(cl.Texto(i, "VALOR_PRODUTO"));
    r->SetPossessionCode(cl.Texto(i, "CODIGO_POSSE"));
    if (r->PossessionCode() != "1") {
      r->SetPossessorCnpj(cl.Texto(i, "CNPJ_POSS_PROP"));
      r->SetPossessorStateRegistration(cl.Texto(i, "IE_POSS_PROP"));
    } else {
      r->SetPossessorCnpj("");
      r->SetPossessorStateRegistration("");
    }
    r->SetPossessorState(cl.Texto(i, "UF_POSSPROP"));
    ok = saida_->AdicionaRegistro(r);
  }
  q.Close();
  observador_.Log(LinhaFim("CarregaRegistroTipo74", ok));
  return ok;
}

bool TGeraThread::CarregaRegistroTipo75() {
  observador_.Log(LinhaInicio("CarregaRegistroTipo75"));
  bool ok = false;
  try {
    ok = CarregaRegistroTipo75DoBanco();
    if (ok && SintegraArquivo) {
      sintegra::TListaRegistros registros =
          SintegraArquivo->RegistrosDoTipo(TTipoRegistros::Tipo75);
      double n = static_cast<double>(registros.size());
      int percentual = 66;
      double acumulado = 0;
      for (size_t i = 0; ok && i < registros.size(); ++i) {
        VerificaCancelamento();
        ok = saida_->AdicionaRegistro(registros[i]);
        if (percentual < 72) {
          acumulado += 6.0 / n;
          if (acumulado > 1) {
            percentual += static_cast<int>(acumulado);
            observador_.Progresso(kTarefa75, percentual);
            acumulado = 0;
          }
        }
      }
    }
  } catch (const std::exception&) {
    ok = false;
  }
  observador_.Log(LinhaFim("CarregaRegistroTipo75", ok));
  return ok;
}

bool TGeraThread::CarregaRegistroTipo75DoBanco() {
  observador_.Log(LinhaInicio("CarregaRegistroTipo75DoBanco"));
  store::TdmTributarium& m = Modulo();
  m.tProduto.Refresh();
  const store::RowSet& produtos = m.tProduto.Rows();
  Colunas cp(produtos);

  // A product is taken when it has an inventory row of any date...
  std::unordered_set<std::int64_t> com_inventario;
  {
    store::Query& q = m.qBuscaInventario;
    q.Close();
    q.SetParam("DtInicial", store::Date{1, 1, 1});
    q.SetParam("DtFinal", store::Date{9999, 12, 31});
    q.Open();
    for (size_t i = 0; i < q.Rows().size(); ++i)
      com_inventario.insert(q.Rows().integer(i, "ID_PRODUTO"));
    q.Close();
  }
  // ...or when its code is in an item of an invoice of the period. The database
  // compares codes without their trailing blanks.
  LeItensDoPeriodo();
  const std::unordered_set<std::string>& movimentados = codigos_movimentados_;

  bool ok = true;
  for (size_t i = 0; ok && i < produtos.size(); ++i) {
    VerificaCancelamento();
    auto r = std::make_shared<sintegra::TRegTipo75>();
    r->SetValidFrom(inicio_texto_);
    r->SetValidTo(fim_texto_);
    const std::string& codigo = cp.Valor(i, "CD_PRODUTO");
    r->SetProductCode(Cp(codigo));
    r->SetNcm("");
    std::string descricao(cp.Texto(i, "TX_DESCRICAO"));
    if (descricao.size() > 53) descricao.resize(53);
    r->SetDescription(descricao);
    r->SetUnit(cp.Texto(i, "TX_UNIDADE"));
    r->SetIpiRate("000");
    r->SetIcmsRate(cp.Texto(i, "TX_ALIQUOTA"));
    r->SetBaseReduction("000");
    r->SetSubstitutionBase("000");
    bool tomado = com_inventario.count(Inteiro(cp.Valor(i, "ID_PRODUTO"))) > 0 ||
                  movimentados.count(std::string(common::trim(codigo))) > 0;
    if (tomado) ok = saida_->AdicionaRegistro(r);
  }
  observador_.Log(LinhaFim("CarregaRegistroTipo75DoBanco", ok));
  return ok;
}

}  // namespace generation
