#include "dados_demo.h"

#include <string>
#include <vector>

#include "sintegra/identidades.h"
#include "store/data_module.h"

namespace generation::demo {

namespace {

// A small generator with a fixed recipe, so the data are the same on every machine
// (the standard distributions are not).
class Sorteio {
 public:
  explicit Sorteio(std::uint32_t semente) : estado_(semente * 2654435761u + 1) {}
  std::uint32_t Proximo() {
    estado_ ^= estado_ << 13;
    estado_ ^= estado_ >> 17;
    estado_ ^= estado_ << 5;
    return estado_;
  }
  // In [min, max].
  int Entre(int min, int max) {
    return min + static_cast<int>(Proximo() % static_cast<std::uint32_t>(max - min + 1));
  }
  template <class T>
  const T& Um(const std::vector<T>& v) {
    return v[Proximo() % v.size()];
  }

 private:
  std::uint32_t estado_;
};

std::string Digitos(Sorteio& s, int n) {
  std::string t;
  for (int i = 0; i < n; ++i) t += static_cast<char>('0' + s.Entre(i == 0 ? 1 : 0, 9));
  return t;
}

// A registration of the state with valid check digits, drawn from the digits (the same
// digits give the same registration).
std::string IeDoEstado(const std::string& uf, const std::string& digitos) {
  return sintegra::SorteiaInscricaoEstadual(uf, std::stoull(digitos));
}

std::string Centavos(std::int64_t c) {
  std::string t = std::to_string(c);
  return t.size() < 3 ? std::string(3 - t.size(), '0') + t : t;
}

int UltimoDia(int ano, int mes) {
  static const int dias[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (mes == 2 && ((ano % 4 == 0 && ano % 100 != 0) || ano % 400 == 0)) return 29;
  return dias[mes - 1];
}

struct Produto {
  std::string codigo, aliquota;
  std::int64_t preco = 0;  // cents
};

const std::vector<std::string> kNomes = {
    "Arroz tipo 1",      "Feijao carioca",     "Acucar cristal", "Cafe torrado", "Oleo de soja",
    "Farinha de trigo",  "Macarrao espaguete", "Leite integral", "Sabao em po",  "Detergente",
    "Biscoito recheado", "Refrigerante cola",  "Agua mineral",   "Sal refinado", "Molho de tomate",
    "Papel higienico",   "Creme dental",       "Sabonete",       "Cerveja lata", "Suco de laranja"};
const std::vector<std::string> kMarcas = {"Boa Safra", "Do Vale", "Estrela",   "Serrana",
                                          "Tropical",  "Aurora",  "Ouro Fino", "Primavera"};
const std::vector<std::string> kUnidades = {"UN", "KG", "CX", "LT", "PCT"};
const std::vector<std::string> kAliquotas = {"1800", "1800", "1800", "1200", "0700", "2500"};
const std::vector<std::string> kOutrosEstados = {"RJ", "MG", "PR", "SC", "RS", "BA", "GO"};

void SetParams(store::StoredProc& sp,
               const std::vector<std::pair<const char*, store::Value>>& valores) {
  sp.ClearParams();
  for (const auto& [nome, valor] : valores) sp.SetParam(nome, valor);
}

}  // namespace

std::string CnpjComDigitos(const std::string& raiz12) {
  std::string c = raiz12;
  for (int pesos : {12, 13}) {
    static const int p13[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    const int* p = pesos == 12 ? p13 + 1 : p13;
    int soma = 0;
    for (int i = 0; i < pesos; ++i) soma += (c[static_cast<size_t>(i)] - '0') * p[i];
    int resto = soma % 11;
    c += static_cast<char>('0' + (resto < 2 ? 0 : 11 - resto));
  }
  return c;
}

ResumoDemo GeraDadosDemo(int ano, int mes, std::uint32_t semente, const TamanhoDemo& tamanho) {
  store::TdmTributarium& m = *store::dmTributarium;
  Sorteio s(semente);
  ResumoDemo resumo;
  using I = std::int64_t;
  try {
    m.trDados.StartTransaction();
    SetParams(m.spInserirProprietario, {{"ID_PROPRIETARIO", I{0}},
                                        {"TX_CNPJ", CnpjComDigitos("123456780001")},
                                        {"TX_IE", "110042490114"},
                                        {"TX_RAZAO_SOCIAL", "Mercearia Boa Vista Ltda"},
                                        {"TX_CIDADE", "Campinas"},
                                        {"TX_ESTADO", "SP"},
                                        {"TX_LOGRADOURO", "Rua Barão de Jaguara"},
                                        {"NB_NUMERO", I{1481}},
                                        {"TX_BAIRRO", "Centro"},
                                        {"TX_COMPLEMENTO", "Loja 2"},
                                        {"TX_CEP", "13015002"},
                                        {"TX_NOME_CONTATO", "Maria Aparecida Souza"},
                                        {"TX_TELEFONE", "1932345678"},
                                        {"TX_FAX", "1932345679"}});
    m.spInserirProprietario.ExecProc();

    std::vector<Produto> produtos;
    std::vector<I> ids_produto;
    for (int i = 1; i <= tamanho.produtos; ++i) {
      Produto p;
      p.codigo = std::to_string(i);
      p.aliquota = s.Um(kAliquotas);
      p.preco = s.Entre(150, 9990);
      std::string descricao =
          s.Um(kNomes) + " " + s.Um(kMarcas) + " " + std::to_string(s.Entre(1, 20) * 50) + "g";
      SetParams(m.spInserirProduto, {{"CD_PRODUTO", p.codigo},
                                     {"TX_DESCRICAO", descricao},
                                     {"TX_VALOR_UNITARIO", Centavos(p.preco)},
                                     {"TX_PRECO_COMPRA", Centavos(p.preco * 7 / 10)},
                                     {"TX_UNIDADE", s.Um(kUnidades)},
                                     {"TX_ALIQUOTA", p.aliquota},
                                     {"TX_TIPO_ALIQUOTA", "T"},
                                     {"CS_CONTROLA_ESTOQUE", I{1}},
                                     {"TX_QUANTIDADE", std::to_string(s.Entre(1, 500) * 1000)}});
      m.spInserirProduto.ExecProc();
      ids_produto.push_back(m.spInserirProduto.OutputInt("ID_PRODUTO"));
      produtos.push_back(p);
      ++resumo.produtos;
    }

    int dias = UltimoDia(ano, mes);
    for (int n = 1; n <= tamanho.notas; ++n) {
      bool saida = s.Entre(0, 1) == 1;
      bool interestadual = s.Entre(0, 3) == 0;
      int itens = s.Entre(1, tamanho.itens_por_nota_max);
      // Items: distinct products of the invoice; a quarter of the invoices mix rates.
      bool mistura = s.Entre(0, 3) == 0;
      std::vector<size_t> escolhidos;
      const std::string* aliquota_unica = nullptr;
      int tentativas = 0;
      while (static_cast<int>(escolhidos.size()) < itens && tentativas++ < 200) {
        size_t k = s.Proximo() % produtos.size();
        bool repetido = false;
        for (size_t e : escolhidos) repetido = repetido || e == k;
        if (repetido) continue;
        if (!mistura && aliquota_unica && produtos[k].aliquota != *aliquota_unica) continue;
        if (!aliquota_unica) aliquota_unica = &produtos[k].aliquota;
        escolhidos.push_back(k);
      }
      struct Item {
        I quantidade, valor, base, icms;
      };
      std::vector<Item> valores;
      I total = 0, base_total = 0, icms_total = 0;
      for (size_t k : escolhidos) {
        Item it;
        it.quantidade = s.Entre(1, 40) * 250;  // thousandths: 0.25 to 10 units
        it.valor = saida ? produtos[k].preco : produtos[k].preco * 7 / 10;
        it.base = (it.quantidade * it.valor + 500) / 1000;
        it.icms = (std::stoll(produtos[k].aliquota) * it.base + 5000) / 10000;
        total += it.base;
        base_total += it.base;
        icms_total += it.icms;
        valores.push_back(it);
      }
      I frete = s.Entre(0, 4) == 0 ? s.Entre(500, 3000) : 0;
      std::string uf = interestadual ? s.Um(kOutrosEstados) : "SP";
      int cfop = (saida ? 5102 : 1102) + (interestadual ? 1000 : 0);
      SetParams(m.spInserirNotaFiscal, {{"NB_NOTA", I{saida ? n : 100000 + n}},
                                        {"TX_CNPJ", CnpjComDigitos(Digitos(s, 8) + "0001")},
                                        {"TX_IE", IeDoEstado(uf, Digitos(s, 12))},
                                        {"TX_UF", uf},
                                        {"DT_EMISSAO", store::Date{ano, mes, s.Entre(1, dias)}},
                                        {"NB_MODELO", I{1}},
                                        {"TX_SERIE", "1"},
                                        {"NB_CFOP", I{cfop}},
                                        {"TX_EMITENTE", saida ? "Próprio" : "Terceiros"},
                                        {"TX_ALIQUOTA", produtos[escolhidos[0]].aliquota},
                                        {"TX_VALOR_TOTAL", Centavos(total + frete)},
                                        {"TX_BASE_ICMS", Centavos(base_total)},
                                        {"TX_VALOR_ICMS", Centavos(icms_total)},
                                        {"TX_VALOR_ISENTO", "000"},
                                        {"TX_OUTROS_VALORES", Centavos(frete)},
                                        {"TX_SITUACAO", "N"}});
      m.spInserirNotaFiscal.ExecProc();
      I id_nota = m.spInserirNotaFiscal.OutputInt("ID_NOTA");
      ++resumo.notas;
      for (size_t j = 0; j < escolhidos.size(); ++j) {
        const Produto& p = produtos[escolhidos[j]];
        SetParams(m.spInserirProdutoNota, {{"CD_PRODUTO", p.codigo},
                                           {"NB_ITEM", I{static_cast<I>(j + 1)}},
                                           {"TX_QUANTIDADE", std::to_string(valores[j].quantidade)},
                                           {"TX_VALOR_ITEM", Centavos(valores[j].valor)},
                                           {"TX_VALOR_DESCONTO", "000"},
                                           {"TX_BASE_ICMS", Centavos(valores[j].base)},
                                           {"TX_BASE_SUBSTITUICAO", "000"},
                                           {"TX_VALOR_IPI", "000"},
                                           {"TX_ALIQUOTA", p.aliquota},
                                           {"NB_CST", I{p.aliquota == "0700" ? 20 : 0}},
                                           {"TX_DESCRICAO", "Item " + p.codigo},
                                           {"ID_NOTA", id_nota}});
        m.spInserirProdutoNota.ExecProc();
        ++resumo.itens;
      }
      if (n % 1000 == 0) m.trDados.CommitRetaining();
    }

    // Inventory of 31 December of the year before: own goods at home (1), own goods
    // with others (2) and others' goods at home (3).
    for (int i = 0; i < tamanho.inventario && i < static_cast<int>(ids_produto.size()); ++i) {
      int posse = i % 10 == 8 ? 2 : (i % 10 == 9 ? 3 : 1);
      std::string cnpj = posse == 1 ? std::string(14, '0') : CnpjComDigitos(Digitos(s, 8) + "0001");
      std::string ie = posse == 1 ? "" : Digitos(s, 12);
      // Drawn in the order of the earlier data, so the month stays the same but for the IE.
      std::string quantidade = std::to_string(s.Entre(1, 200) * 1000);
      std::string valor =
          Centavos(produtos[static_cast<size_t>(i)].preco * 7 / 10 * s.Entre(1, 200));
      std::string uf = posse == 1 ? "SP" : s.Um(kOutrosEstados);
      if (posse != 1) ie = IeDoEstado(uf, ie);
      SetParams(m.spInserirInventario, {{"DATA_INVENTARIO", store::Date{ano - 1, 12, 31}},
                                        {"ID_PRODUTO", ids_produto[static_cast<size_t>(i)]},
                                        {"QUANTIDADE", quantidade},
                                        {"VALOR_PRODUTO", valor},
                                        {"CODIGO_POSSE", I{posse}},
                                        {"CNPJ_POSS_PROP", cnpj},
                                        {"IE_POSS_PROP", ie},
                                        {"UF_POSSPROP", uf}});
      m.spInserirInventario.ExecProc();
      ++resumo.inventario;
    }
    m.trDados.CommitRetaining();
  } catch (...) {
    try {
      m.trDados.RollbackRetaining();
    } catch (...) {
    }
    throw;
  }
  return resumo;
}

}  // namespace generation::demo
