#include "caixoro_commands.h"

#include <set>

#include "common/text1252.h"
#include "shell/import/caixoro.h"
#include "store/conversions.h"

namespace cli {

namespace {

using shell::caixoro::ProdutoLido;

int Proprietario(const OpcoesGlobais&, const Arguments& args, Context& c) {
  RequireArguments(args, 1);
  shell::caixoro::TClienteCaixoro dono(args[0]);
  if (!dono.Carregar())
    throw std::runtime_error("A tabela \"" + std::string(shell::caixoro::kTabelaDono) +
                             "\" não tem registros: não há dados do proprietário a importar.");
  const std::pair<const char*, const std::string*> valores[] = {{"CNPJ", &dono.CNPJ},
                                                                {"Inscrição Estadual", &dono.IE},
                                                                {"Razão Social", &dono.RazaoSocial},
                                                                {"Cidade", &dono.Cidade},
                                                                {"Estado", &dono.Estado},
                                                                {"Logradouro", &dono.Logradouro},
                                                                {"Número", &dono.Numero},
                                                                {"Complemento", &dono.Complemento},
                                                                {"Bairro", &dono.Bairro},
                                                                {"Nome do Contato", &dono.Contato},
                                                                {"CEP", &dono.CEP},
                                                                {"Telefone", &dono.Telefone},
                                                                {"FAX", &dono.Fax}};
  for (auto [rotulo, valor] : valores) {
    // The owner editor shows "0" for a missing number.
    const std::string& v = (valor == &dono.Numero && valor->empty()) ? std::string("0") : *valor;
    c.out << rotulo << "\t" << v << "\n";
  }
  for (const std::string& a : dono.Avisos) c.err << a << "\n";
  return kExitSuccess;
}

int Produtos(const OpcoesGlobais&, const Arguments& args, Context& c) {
  RequireArguments(args, 1);
  std::vector<ProdutoLido> lista = shell::caixoro::LeProdutos(args[0]);
  c.out << "Código\tDescrição\tQuantidade\tValor Unitário\tAlíquota\tTipo Aliquota\n";
  for (const ProdutoLido& p : lista) {
    const store::TProduto& t = p.produto;
    c.out << t.CD_PRODUTO << "\t" << t.TX_DESCRICAO << "\t" << t.TX_QUANTIDADE << "\t"
          << t.TX_VALOR_UNITARIO << "\t" << t.TX_ALIQUOTA << "\t" << t.TX_TIPO_ALIQUOTA << "\n";
  }
  return kExitSuccess;
}

int Importar(const OpcoesGlobais& g, const Arguments& args, Context& c) {
  std::string pasta, base;
  std::optional<std::string> codigos;
  bool todos = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--todos") {
      todos = true;
    } else if (a == "--base" || a == "--codigos") {
      if (i + 1 >= args.size()) throw UsageError("falta o valor de " + a);
      (a == "--base" ? base : codigos.emplace()) = args[++i];
    } else if (a.rfind("--", 0) == 0) {
      throw UsageError("opção desconhecida: " + a);
    } else if (pasta.empty()) {
      pasta = a;
    } else {
      throw UsageError("argumento a mais: " + a);
    }
  }
  if (pasta.empty()) throw UsageError("informe a pasta do Caixoro");
  if (base.empty()) throw UsageError("falta --base");
  if (todos == codigos.has_value()) throw UsageError("informe --todos ou --codigos LISTA");

  // The tables are read whole before the base is touched: a table that does not read
  // cleanly imports nothing.
  std::vector<ProdutoLido> lista = shell::caixoro::LeProdutos(pasta);
  store::TListaSelecao selecao(lista.size(), todos);
  if (codigos) {
    std::set<std::string> pedidos;
    std::size_t inicio = 0;
    while (inicio <= codigos->size()) {
      std::size_t fim = codigos->find(',', inicio);
      if (fim == std::string::npos) fim = codigos->size();
      std::string cod(common::trim(codigos->substr(inicio, fim - inicio)));
      if (!cod.empty()) pedidos.insert(cod);
      inicio = fim + 1;
    }
    if (pedidos.empty()) throw UsageError("--codigos não traz nenhum código");
    for (std::size_t i = 0; i < lista.size(); ++i)
      if (pedidos.erase(lista[i].produto.CD_PRODUTO)) selecao[i] = true;
    if (!pedidos.empty())
      throw std::runtime_error("Código não encontrado na tabela \"" +
                               std::string(shell::caixoro::kTabelaProdutos) +
                               "\": " + *pedidos.begin() + ". Nada foi importado.");
  }

  Sessao s(g);
  s.ConectaCatalogo();
  s.Login();
  std::optional<Base> b = s.BuscaBase(base);
  if (!b) throw std::runtime_error("Base de dados não encontrada: \"" + base + "\".");
  s.AbreBase(*b);

  shell::caixoro::ResultadoImportacao r = shell::caixoro::ImportaProdutos(
      lista, selecao, {},
      // One write per line: standard error is not buffered.
      [&](const ProdutoLido& p, const std::string& m) {
        c.err << ("recusado\t" + p.produto.CD_PRODUTO + "\t" + m + "\n");
      },
      [&](const ProdutoLido& p) {
        c.err << ("importado\t" + p.produto.CD_PRODUTO + "\t" + p.produto.TX_DESCRICAO + "\n");
      });
  if (!r.interrompida.empty()) c.err << "A importação parou: " << r.interrompida << "\n";
  c.err << r.importados << " de " << r.escolhidos << " produtos importados";
  if (r.recusados) c.err << ", " << r.recusados << " recusados";
  if (r.desfeitos) c.err << ", " << r.desfeitos << " desfeitos com o lote que não pôde ser gravado";
  c.err << ".\n";
  return (r.recusados || !r.interrompida.empty()) ? kExitFailure : kExitSuccess;
}

template <int (*F)(const OpcoesGlobais&, const Arguments&, Context&)>
std::function<int(const Arguments&, Context&)> Com(const OpcoesGlobais& g) {
  return [&g](const Arguments& a, Context& c) { return F(g, a, c); };
}

}  // namespace

void AddCaixoroCommands(Dispatcher& d, const OpcoesGlobais& g) {
  d.Add({{"caixoro", "proprietario"},
         "PASTA",
         "mostra os dados do proprietário que a tabela Qzaprm.dbf traz",
         Com<Proprietario>(g)});
  d.Add({{"caixoro", "produtos"},
         "PASTA",
         "lista os produtos de Qzapro.dbf com as alíquotas de Qzatrb.dbf (TSV)",
         Com<Produtos>(g)});
  d.Add({{"caixoro", "importar"},
         "PASTA --base NOME (--todos | --codigos LISTA)",
         "insere na base os produtos escolhidos",
         Com<Importar>(g)});
}

}  // namespace cli
