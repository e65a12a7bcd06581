// Renders every window of the program with sample data to PNG files, so the screens can
// be looked at without clicking through the program. Usage: render_screens OUTPUT_FOLDER
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "shell/editors/inventory_editor.h"
#include "shell/editors/owner_editor.h"
#include "shell/editors/product_search.h"
#include "shell/editors/products_editor.h"
#include "shell/editors/users_editor.h"
#include "shell/import/caixoro_windows.h"
#include "shell/invoices/invoice_editor.h"
#include "shell/invoices/invoice_list.h"
#include "shell/invoices/item_editor.h"
#include "shell/invoices/product_dialog.h"
#include "shell/program/client_bases_window.h"
#include "shell/program/config_window.h"
#include "shell/program/login_dialog.h"
#include "shell/program/main_window.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/edits.h"
#include "shell/widgets/help_window.h"
#include "store/data_module.h"
#include "store/entities.h"
#include "visualiza_arquivo.h"

namespace fs = std::filesystem;
using namespace shell;

namespace {

// Answers every question with Yes and prints the messages instead of showing them.
class DialogosSilenciosos : public Dialogos {
 public:
  void Mensagem(QWidget*, const QString& t, const QString& x, Icone) override {
    std::fprintf(stderr, "mensagem: %s: %s\n", qPrintable(t), qPrintable(x));
  }
  bool Pergunta(QWidget*, const QString&, const QString&) override { return true; }
  QString Diretorio(QWidget*, const QString&, const QString&, bool) override { return {}; }
  bool AbrirArquivo(const QString&) override { return false; }
};

QString saida;

void Grava(QWidget* w, const char* nome) {
  QApplication::processEvents();
  QString arquivo = saida + QLatin1Char('/') + QString::fromLatin1(nome) + ".png";
  if (!w->grab().save(arquivo))
    std::fprintf(stderr, "falha ao gravar %s\n", qPrintable(arquivo));
  else
    std::printf("%s\n", qPrintable(arquivo));
}

void DadosDeExemplo() {
  store::TProprietario p;
  p.TX_CNPJ = "11222333000181";
  p.TX_IE = "110042490114";
  p.TX_RAZAO_SOCIAL = "Mercearia Bom Preço Ltda";
  p.TX_CIDADE = "Campinas";
  p.TX_ESTADO = "SP";
  p.TX_LOGRADOURO = "Rua Barão de Jaguara";
  p.NB_NUMERO = 1200;
  p.TX_BAIRRO = "Centro";
  p.TX_CEP = "13015002";
  p.TX_NOME_CONTATO = "Joana Ribeiro";
  p.TX_TELEFONE = "1932345678";
  p.Inserir();
  const char* produtos[][4] = {{"12", "ARROZ TIPO 1 5KG", "2490", "10000"},
                               {"112", "Feijão carioca 1kg", "899", "24000"},
                               {"120", "Arroz integral 1kg", "759", "6500"},
                               {"7", "Macarrão espaguete 500g", "459", "30000"}};
  for (auto& d : produtos) {
    store::TProduto pr;
    pr.CD_PRODUTO = d[0];
    pr.TX_DESCRICAO = d[1];
    pr.TX_VALOR_UNITARIO = d[2];
    pr.TX_PRECO_COMPRA = "350";
    pr.TX_QUANTIDADE = d[3];
    pr.TX_UNIDADE = "UN";
    pr.TX_ALIQUOTA = "1800";
    pr.TX_TIPO_ALIQUOTA = "ICMS";
    pr.CS_CONTROLA_ESTOQUE = true;
    pr.Inserir();
    store::TInventario inv;
    inv.DATA_INVENTARIO = {2026, 12, 1};
    inv.ID_PRODUTO = pr.ID_PRODUTO;
    inv.QUANTIDADE = d[3];
    inv.VALOR_PRODUTO = "10000";
    inv.CODIGO_POSSE = 1;
    inv.CNPJ_POSS_PROP = p.TX_CNPJ;
    inv.IE_POSS_PROP = p.TX_IE;
    inv.UF_POSSPROP = "SP";
    inv.Inserir();
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tributarium"));
  if (argc < 2) {
    std::fprintf(stderr, "uso: render_screens PASTA_DE_SAIDA\n");
    return 2;
  }
  saida = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir().mkpath(saida);
  std::string modelo = (fs::temp_directory_path() / "telas-XXXXXX").string();
  if (!mkdtemp(modelo.data())) return 1;
  fs::path dir = modelo;
  fs::current_path(dir);
  DialogosSilenciosos silenciosos;

  store::TdmTributarium dm;
  TformTributarium janela(dm);
  {
    TPasswordDlg login(dm);
    login.edtLogin()->setText(QStringLiteral("ADMIN"));
    login.edtSenha()->setText(QStringLiteral("admin"));
    login.show();
    Grava(&login, "00-login");
  }
  InstalaDialogos(&silenciosos);
  auto r = janela.Inicia([](TPasswordDlg& d) {
    d.edtLogin()->setText(QStringLiteral("ADMIN"));
    d.edtSenha()->setText(QStringLiteral("admin"));
    d.Confirma();
    return d.result() == QDialog::Accepted;
  });
  if (r != TformTributarium::Partida::Pronta) return 1;
  janela.resize(1280, 860);
  janela.show();
  janela.SelecionaBaseAtivacao();  // no base yet: entries 02-07 disabled
  Grava(&janela, "01-principal-sem-base");

  // A client base with sample data.
  fs::create_directories(dir / "Bases");
  store::TBaseDados base(0, &janela, (dir / "Bases").string(), "Mercearia Bom Preço");
  base.CopiaArquivos = [&](const store::TBaseDados& b) {
    fs::create_directories(b.PATH);
    fs::copy(dir / "Dados" / "Default", b.PATH, fs::copy_options::recursive);
    return true;
  };
  base.Inserir(true);
  janela.SelecionaBase(QString::fromStdString(base.NOME_CLIENTE),
                       QString::fromStdString(base.PATH));
  DadosDeExemplo();

  const char* nomes[] = {"",
                         "02-bases",
                         "03-proprietario",
                         "04-usuarios",
                         "05-notas",
                         "06-produtos",
                         "07-inventario",
                         "08-geracao",
                         "09-configuracoes"};
  for (int n = 1; n <= 8; ++n) {
    janela.ClicaMenu(n);
    Grava(&janela, nomes[n]);
  }
  janela.ClicaMenu(1);
  static_cast<TfrmBaseDados*>(janela.janelaAtual())->NovaBase();
  Grava(&janela, "10-bases-nova");
  janela.ClicaMenu(5);
  auto* produtos = static_cast<TfrmProdutos*>(janela.janelaAtual());
  produtos->grdProdutos()->setCurrentIndex(produtos->modeloAtual()->index(1, 0));
  produtos->Alterar();
  Grava(&janela, "11-produtos-alterar");
  produtos->setAlterado(false);
  produtos->edtFiltroDescricao()->setText(QStringLiteral("arroz"));
  Grava(&janela, "12-produtos-filtro");
  janela.ClicaMenu(6);
  static_cast<TfrmInventario*>(janela.janelaAtual())->AbreLinha(0);
  Grava(&janela, "13-inventario-alterar");
  static_cast<TfrmInventario*>(janela.janelaAtual())->setAlterado(false);
  janela.ClicaMenu(8);
  static_cast<TfrmConfiguracoes*>(janela.janelaAtual())->ExportarLog();
  Grava(&janela, "14-configuracoes-log");
  janela.ClicaMenu(3);
  static_cast<TfrmUsuarios*>(janela.janelaAtual())->Novo();
  Grava(&janela, "15-usuarios-novo");
  {
    TfrmLocalizarProduto busca(dm, &janela);
    busca.show();
    Grava(&busca, "16-localizar-produto");
  }
  janela.ClicaMenu(4);
  {
    auto* notas = static_cast<TfrmNotasFiscais*>(janela.janelaAtual());
    notas->Inserir();
    TfrmNotaFiscal* e = notas->editor();
    e->edtCNPJ()->setText(QStringLiteral("04252011000110"));
    e->edtIE()->setText(QStringLiteral("123456"));
    e->cmbEstado()->setCurrentText(QStringLiteral("RJ"));
    e->cmbModelo()->setCurrentIndex(0);
    e->cmbEmitente()->setCurrentIndex(1);
    e->edtNumero()->setText(QStringLiteral("4711"));
    e->edtCFOP()->setText(QStringLiteral("1102"));
    Grava(&janela, "18-nota-fiscal");
    notas->AbreItem(0, nullptr, -1);
    Grava(&janela, "19-item-da-nota");
    notas->item()->Cancelar();
    e->setAlterado(false);
    e->Cancelar();
    store::TProduto novo;
    novo.CD_PRODUTO = "7891";
    novo.TX_DESCRICAO = "Parafuso sextavado";
    novo.TX_QUANTIDADE = "2000";
    TfrmInsereProduto dlg(novo, &janela);
    dlg.show();
    Grava(&dlg, "20-insere-produto");
  }
  {
    std::vector<caixoro::ProdutoLido> lista;
    for (int i = 1; i <= 23; ++i) {
      caixoro::ProdutoLido p;
      p.produto.CD_PRODUTO = std::to_string(1000 + i);
      p.produto.TX_DESCRICAO = "Produto do Caixoro " + std::to_string(i);
      p.produto.TX_QUANTIDADE = "12,000";
      p.produto.TX_VALOR_UNITARIO = "4,99";
      p.produto.TX_ALIQUOTA = "18,00";
      p.produto.TX_TIPO_ALIQUOTA = "ICMS";
      lista.push_back(p);
    }
    TfrmImportarProdutos sel(lista, &janela);
    sel.Alterna(1);
    sel.Alterna(4);
    sel.show();
    Grava(&sel, "21-importar-produtos");
    TfrmProcessando proc(QStringLiteral("Lendo produtos do Caixoro..."), &janela);
    proc.Mostra(40, 100);
    proc.show();
    Grava(&proc, "22-processando");
  }
  {
    // The program's own viewer of a month's file (Visualizar Arquivo without a file manager).
    const fs::path mes = dir / "Sintegra.txt";
    std::ofstream arquivo(mes, std::ios::binary);
    arquivo << "10112223330001811100424901140Mercearia Bom Pre\xE7o Ltda          Campinas"
               "                      SP000000000020261201202612313311\r\n"
               "11Rua Bar\xE3o de Jaguara              01200                      Centro"
               "         13015002Joana Ribeiro               001932345678\r\n";
    for (int i = 1; i <= 40; ++i)
      arquivo << "5404252011000110010011" << 4700 + i << "1102000" << (i % 9 + 1)
              << "7891          000000000200000000000001000000000000000000000000000000000000"
                 "00000000000000000000001800\r\n";
    arquivo.close();
    generation::TfrmVisualizaArquivo visor(mes, &janela);
    visor.show();
    while (!visor.Completo()) QApplication::processEvents();
    Grava(&visor, "24-visualizar-arquivo");
  }
  Ajuda(&janela).Mostra(janela.pastaPrograma(), 6);
  Grava(&Ajuda(&janela), "23-ajuda-notas");
  Ajuda(&janela).Mostra(janela.pastaPrograma(), 7);
  Grava(&Ajuda(&janela), "17-ajuda-produtos");

  janela.ClicaMenu(1);
  std::error_code ec;
  fs::current_path(fs::temp_directory_path());
  fs::remove_all(dir, ec);
  return 0;
}
