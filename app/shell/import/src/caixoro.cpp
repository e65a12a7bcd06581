#include "shell/import/caixoro.h"

#include <algorithm>
#include <unordered_map>

#include "shell/widgets/validacoes.h"
#include "store/conversions.h"
#include "store/data_module.h"

namespace shell::caixoro {

namespace {

std::string Apenas(const std::string& s) {
  return SoDigitos(s);
}

std::size_t Caracteres(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string Mostra(const std::string& s) {
  return "\"" + s + "\"";
}

}  // namespace

std::string Primeiros(const std::string& s, std::size_t n) {
  std::size_t vistos = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (vistos == n) return s.substr(0, i);
      ++vistos;
    }
  }
  return s;
}

const std::vector<std::string>& CamposDono() {
  static const std::vector<std::string> c = {"PRM_CNPJ",   "PRM_IE",     "PRM_RAZAOS", "PRM_MUNICI",
                                             "PRM_UF",     "PRM_ENDERE", "PRM_NUMERO", "PRM_BAIRRO",
                                             "PRM_COMPLE", "PRM_CEP",    "PRM_CEPP",   "PRM_CONTAT",
                                             "PRM_DDD",    "PRM_FONE",   "PRM_FAX"};
  return c;
}
const std::vector<std::string>& CamposProdutos() {
  static const std::vector<std::string> c = {"PRO_PLU",    "PRO_DESCR", "PRO_ESTQ",  "PRO_CASAD",
                                             "PRO_PCOVEN", "PRO_PESAD", "PRO_TRIBUT"};
  return c;
}
const std::vector<std::string>& CamposTributos() {
  static const std::vector<std::string> c = {"TRB_CODIGO", "TRB_PERCEN", "TRB_TIPO"};
  return c;
}

TClienteCaixoro::TClienteCaixoro(std::filesystem::path pasta) : pasta_(std::move(pasta)) {}

bool TClienteCaixoro::Carregar() {
  return Carregar(dbase::LeArquivo(pasta_, kTabelaDono, CamposDono()));
}

bool TClienteCaixoro::Carregar(const dbase::Tabela& prm) {
  Avisos.clear();
  if (prm.linhas.empty()) return false;
  const std::vector<std::string>& l = prm.linhas.front();
  auto v = [&](const char* campo) -> const std::string& { return l[prm.campo(campo)]; };
  if (!v("PRM_CNPJ").empty()) CNPJ = Apenas(v("PRM_CNPJ"));
  if (!v("PRM_IE").empty()) IE = Primeiros(v("PRM_IE"), 14);
  if (!v("PRM_RAZAOS").empty()) RazaoSocial = Primeiros(v("PRM_RAZAOS"), 35);
  if (!v("PRM_MUNICI").empty()) Cidade = Primeiros(v("PRM_MUNICI"), 30);
  if (!v("PRM_UF").empty()) Estado = v("PRM_UF");
  if (!v("PRM_ENDERE").empty()) Logradouro = Primeiros(v("PRM_ENDERE"), 34);
  if (!v("PRM_NUMERO").empty()) Numero = Primeiros(v("PRM_NUMERO"), 5);
  if (!v("PRM_BAIRRO").empty()) Bairro = Primeiros(v("PRM_BAIRRO"), 15);
  if (!v("PRM_COMPLE").empty()) Complemento = Primeiros(v("PRM_COMPLE"), 22);
  if (!v("PRM_CEP").empty()) CEP = v("PRM_CEP");
  if (!v("PRM_CEPP").empty()) CEP += v("PRM_CEPP");
  CEP = Apenas(CEP);
  if (!v("PRM_CONTAT").empty()) Contato = Primeiros(v("PRM_CONTAT"), 28);
  std::string ddd;
  if (!v("PRM_DDD").empty()) {
    ddd = v("PRM_DDD");
    // "(92)" keeps its two digits.
    if (Caracteres(ddd) > 3) ddd = Primeiros(ddd, 3).substr(Primeiros(ddd, 1).size());
  }
  if (!v("PRM_FONE").empty()) Telefone = Apenas(ddd + v("PRM_FONE"));
  if (!v("PRM_FAX").empty()) Fax = Apenas(ddd + v("PRM_FAX"));
  // The owner's number is a whole number; "S/N" and the like have none.
  if (!Numero.empty() && !SaoDigitos(Numero)) {
    Avisos.push_back("O número " + Mostra(Numero) +
                     " do endereço não é um número; o campo \"Número\" ficou com 0.");
    Numero = "0";
  }
  if (Estado.size() != 2 ||
      std::find(Estados().begin(), Estados().end(), Estado) == Estados().end()) {
    if (!Estado.empty())
      Avisos.push_back("O estado " + Mostra(Estado) +
                       " não é uma sigla conhecida; escolha-o na lista.");
    Estado.clear();
  }
  return true;
}

std::vector<ProdutoLido> MontaProdutos(const dbase::Tabela& pro, const dbase::Tabela& trb,
                                       const std::function<void(int)>& progresso) {
  struct Tributo {
    bool lido;
    dbase::Decimal percentual;
    bool icms;
  };
  // The tax table indexed once; the first record of a code wins, as a scan from the top.
  std::unordered_map<std::string, Tributo> tributos;
  const int tc = trb.campo("TRB_CODIGO"), tp = trb.campo("TRB_PERCEN"), tt = trb.campo("TRB_TIPO");
  for (const auto& l : trb.linhas) {
    if (tributos.count(l[tc])) continue;
    Tributo t{};
    dbase::Leitura r = dbase::LeDecimal(l[tp], t.percentual);
    t.lido = r != dbase::Leitura::Invalido;
    if (r == dbase::Leitura::Vazio) t.percentual = {};
    t.icms = l[tt] == "T";
    tributos.emplace(l[tc], t);
  }

  const int cp = pro.campo("PRO_PLU"), cd = pro.campo("PRO_DESCR"), ce = pro.campo("PRO_ESTQ"),
            cc = pro.campo("PRO_CASAD"), cv = pro.campo("PRO_PCOVEN"), cu = pro.campo("PRO_PESAD"),
            ct = pro.campo("PRO_TRIBUT");
  std::vector<ProdutoLido> lista;
  lista.reserve(pro.linhas.size());
  std::vector<std::string> problemas;
  int total_problemas = 0;
  std::unordered_map<std::string, int> vistos;
  auto problema = [&](int registro, const std::string& texto) {
    if (++total_problemas <= 10)
      problemas.push_back("registro " + std::to_string(registro) + ": " + texto);
  };
  for (std::size_t i = 0; i < pro.linhas.size(); ++i) {
    const auto& l = pro.linhas[i];
    const int reg = pro.registros[i];
    if (progresso) progresso(static_cast<int>(i));
    ProdutoLido p;
    p.registro = reg;
    store::TProduto& t = p.produto;

    // The code: digits (a numeric field may bring "123.00"), at most the column's 13.
    std::string plu = l[cp];
    dbase::Decimal dplu;
    if (dbase::LeDecimal(plu, dplu) == dbase::Leitura::Numero && !dplu.negativo &&
        dplu.digitos.substr(dplu.digitos.size() - dplu.escala).find_first_not_of('0') ==
            std::string::npos &&
        plu.find_first_of(".,") != std::string::npos)
      plu = dbase::TextoFixo(dplu, 0);
    if (plu.empty()) {
      problema(reg, "PRO_PLU vazio");
    } else if (!SaoDigitos(plu)) {
      problema(reg, "PRO_PLU " + Mostra(plu) + " não é um número");
    } else if (plu.size() > 13) {
      problema(reg, "PRO_PLU " + Mostra(plu) + " tem mais de 13 dígitos");
    } else if (auto [it, novo] = vistos.emplace(plu, reg); !novo) {
      problema(reg,
               "PRO_PLU " + Mostra(plu) + " repete o do registro " + std::to_string(it->second));
    }
    t.CD_PRODUTO = plu;
    t.TX_DESCRICAO = l[cd];

    dbase::Decimal estoque;
    switch (dbase::LeDecimal(l[ce], estoque)) {
      case dbase::Leitura::Vazio:
        estoque = {false, "0", 0};
        break;
      case dbase::Leitura::Invalido:
        problema(reg, "PRO_ESTQ " + Mostra(l[ce]) + " não é um número");
        break;
      case dbase::Leitura::Numero:
        break;
    }
    if (!estoque.digitos.empty()) {
      t.TX_QUANTIDADE = dbase::TextoFixo(estoque, 3);
      p.quantidade = store::RemoveCasasDecimais(t.TX_QUANTIDADE);
    }

    int casas = 2;
    if (!l[cc].empty()) {
      dbase::Decimal dc;
      if (dbase::LeDecimal(l[cc], dc) != dbase::Leitura::Numero || dc.escala > 0 || dc.negativo ||
          dc.digitos.size() > 1 || dc.digitos[0] > '4') {
        problema(reg, "PRO_CASAD " + Mostra(l[cc]) + " não é um número de casas de 0 a 4");
      } else {
        casas = dc.digitos[0] - '0';
      }
    }
    dbase::Decimal preco;
    switch (dbase::LeDecimal(l[cv], preco)) {
      case dbase::Leitura::Vazio:
        preco = {false, "0", 0};
        break;
      case dbase::Leitura::Invalido:
        problema(reg, "PRO_PCOVEN " + Mostra(l[cv]) + " não é um número");
        break;
      case dbase::Leitura::Numero:
        if (preco.negativo) {
          problema(reg, "PRO_PCOVEN " + Mostra(l[cv]) + " é negativo");
          preco = {};
        }
        break;
    }
    if (!preco.digitos.empty()) {
      t.TX_VALOR_UNITARIO = dbase::TextoFixo(preco, casas);
      p.preco = store::RemoveCasasDecimais(dbase::TextoFixo(preco, 2));
    }

    static const std::pair<const char*, const char*> unidades[] = {
        {"O", "OU"}, {"C", "CM"}, {"M", "MT"}, {"L", "LT"}, {"K", "KG"}};
    t.TX_UNIDADE = "UN";
    for (auto [letra, unidade] : unidades)
      if (l[cu] == letra) t.TX_UNIDADE = unidade;

    t.TX_ALIQUOTA.clear();
    t.TX_TIPO_ALIQUOTA.clear();
    auto it = tributos.find(l[ct]);
    if (it != tributos.end()) {
      if (!it->second.lido) {
        problema(reg, "TRB_PERCEN do tributo " + Mostra(l[ct]) + " não é um número");
      } else {
        const dbase::Decimal& pc = it->second.percentual.digitos.empty()
                                       ? dbase::Decimal{false, "0", 0}
                                       : it->second.percentual;
        t.TX_ALIQUOTA = dbase::TextoFixo(pc, 2);
        p.aliquota = store::RemoveCasasDecimais(t.TX_ALIQUOTA);
        t.TX_TIPO_ALIQUOTA = it->second.icms ? "ICMS" : "ISS";
      }
    }
    lista.push_back(std::move(p));
  }
  if (total_problemas > 0) {
    std::string texto = "A tabela \"" + std::string(kTabelaProdutos) + "\" tem " +
                        std::to_string(total_problemas) +
                        (total_problemas == 1 ? " registro que não pode ser importado"
                                              : " registros que não podem ser importados") +
                        "; nada foi importado:";
    for (const std::string& s : problemas) texto += "\n" + s;
    if (total_problemas > 10) texto += "\n...";
    throw dbase::ErroDbf(texto);
  }
  return lista;
}

std::vector<ProdutoLido> LeProdutos(const std::filesystem::path& pasta,
                                    const std::function<void(int)>& progresso) {
  dbase::Tabela pro = dbase::LeArquivo(pasta, kTabelaProdutos, CamposProdutos());
  dbase::Tabela trb = dbase::LeArquivo(pasta, kTabelaTributos, CamposTributos());
  return MontaProdutos(pro, trb, progresso);
}

store::TListaProdutos SoProdutos(const std::vector<ProdutoLido>& lista) {
  store::TListaProdutos l;
  l.reserve(lista.size());
  for (const auto& p : lista) l.push_back(p.produto);
  return l;
}

namespace {
// The engine's SQLCODE for a connection or database that is no longer there (a lost line, a
// shutdown, an attachment cut by the server).
constexpr int kBaseIndisponivel = -902;
}  // namespace

ResultadoImportacao ImportaProdutos(
    const std::vector<ProdutoLido>& lista, const store::TListaSelecao& selecao,
    const std::function<void(int)>& progresso,
    const std::function<void(const ProdutoLido&, const std::string&)>& recusado,
    const std::function<void(const ProdutoLido&)>& importado, int lote) {
  ResultadoImportacao r;
  if (!store::dmTributarium) {
    r.interrompida = "O módulo de dados não foi criado.";
    return r;
  }
  store::Transaction& tr = store::dmTributarium->trDados;
  // What the batch in progress has done, told only after it commits.
  struct Feito {
    const ProdutoLido* produto;
    std::string recusa;  // empty: inserted
  };
  std::vector<Feito> feitos;
  int inseridos = 0;
  auto fechaLote = [&]() -> bool {
    try {
      tr.CommitGroup();
    } catch (const std::exception& e) {
      r.desfeitos += inseridos;
      r.interrompida = std::string("A gravação de um lote de produtos falhou: ") + e.what();
      for (const Feito& f : feitos)
        if (!f.recusa.empty() && recusado) recusado(*f.produto, f.recusa);
      feitos.clear();
      inseridos = 0;
      return false;
    }
    r.importados += inseridos;
    for (const Feito& f : feitos) {
      if (f.recusa.empty()) {
        if (importado) importado(*f.produto);
      } else if (recusado) {
        recusado(*f.produto, f.recusa);
      }
    }
    feitos.clear();
    inseridos = 0;
    return true;
  };
  try {
    tr.BeginGroup();
  } catch (const std::exception& e) {
    r.interrompida = e.what();
    return r;
  }
  for (std::size_t i = 0; i < lista.size(); ++i) {
    if (i < selecao.size() && selecao[i]) {
      ++r.escolhidos;
      store::TProduto p = lista[i].produto;
      p.TX_QUANTIDADE = lista[i].quantidade;
      p.TX_VALOR_UNITARIO = lista[i].preco;
      p.TX_ALIQUOTA = lista[i].aliquota;
      try {
        if (p.Inserir()) {
          ++inseridos;
          feitos.push_back({&lista[i], {}});
        }
      } catch (const store::TEBancoDados& e) {
        if (e.ErrorCode() == kBaseIndisponivel) {
          // The connection or the database is gone: every later product would fail the same
          // way, so this ends the import instead of being one refusal (and one message) each.
          const std::string erro = e.MensagemCom(p.TX_DESCRICAO);
          r.interrompida = fechaLote() ? erro : erro + "\n" + r.interrompida;
          return r;
        }
        ++r.recusados;
        feitos.push_back({&lista[i], e.MensagemCom(p.TX_DESCRICAO)});
      } catch (const std::exception& e) {
        // What went in before the error is kept, as when each product committed alone.
        const std::string erro = e.what();
        r.interrompida = fechaLote() ? erro : erro + "\n" + r.interrompida;
        return r;
      }
      if (static_cast<int>(feitos.size()) >= std::max(lote, 1)) {
        if (!fechaLote()) return r;
        try {
          tr.BeginGroup();
        } catch (const std::exception& e) {
          r.interrompida = e.what();
          return r;
        }
      }
    }
    if (progresso) progresso(static_cast<int>(i));
  }
  fechaLote();
  return r;
}

}  // namespace shell::caixoro
