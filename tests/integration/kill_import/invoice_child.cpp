// The invoice windows on the offscreen platform against a client base, driven as a user
// would, for the tests that kill the process half-way. Every question is answered Yes but
// "another one?", which is answered No; messages go to standard error.
//
//   invoice_child DADOS BASE preparar     the owner and the stock-controlled products 1 and 2
//   invoice_child DADOS BASE notas N      N invoices of two items each (products 1 and 2);
//                                         prints "nota K" and "item K CODE QTY" after each save
//   invoice_child DADOS BASE dialogo      one invoice and an item of the unregistered code 99;
//                                         prints "dialogo" at the product dialog and waits
//   invoice_child DADOS BASE grupo        one invoice and an item of product 1; prints "grupo"
//                                         while the item's writes are uncommitted and waits
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "shell/invoices/invoice_editor.h"
#include "shell/invoices/invoice_list.h"
#include "shell/invoices/item_editor.h"
#include "shell/invoices/product_dialog.h"
#include "shell/testing/principal_sem_janela.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/edits.h"
#include "shell/widgets/principal.h"
#include "store/data_module.h"
#include "store/entities.h"

namespace {

using namespace shell;

class Respostas : public Dialogos {
 public:
  void Mensagem(QWidget*, const QString& titulo, const QString& texto, Icone) override {
    std::fprintf(stderr, "mensagem\t%s\t%s\n", qPrintable(titulo), qPrintable(texto));
  }
  bool Pergunta(QWidget*, const QString&, const QString& texto) override {
    return !texto.contains(QStringLiteral("Você deseja cadastrar"));
  }
  QString Diretorio(QWidget*, const QString&, const QString&, bool) override { return {}; }
  bool AbrirArquivo(const QString&) override { return false; }
};

void Diz(const std::string& linha) {
  std::printf("%s\n", linha.c_str());
  std::fflush(stdout);
}

[[noreturn]] void EsperaOFim(const char* onde) {
  Diz(onde);
  for (;;) ::pause();
}

int UltimaNota(store::TdmTributarium& dm) {
  store::Query q("ultima", dm.trDados, "select max(ID_NOTA) from NOTA_FISCAL");
  q.Open();
  return static_cast<int>(q.Rows().integer(0, "MAX"));
}

bool NovaNota(TfrmNotasFiscais& l, int numero) {
  l.Inserir();
  TfrmNotaFiscal& e = *l.editor();
  e.edtCNPJ()->setText(QStringLiteral("04252011000110"));
  e.edtIE()->setText(QStringLiteral("123"));
  e.cmbEstado()->setCurrentText(QStringLiteral("RJ"));
  e.cmbModelo()->setCurrentIndex(0);
  e.cmbModelo()->activated(0);
  e.cmbEmitente()->setCurrentIndex(1);
  e.edtSerie()->setText(QStringLiteral("1"));
  e.edtNumero()->setText(QString::number(numero));
  e.edtCFOP()->setText(QStringLiteral("1102"));
  e.Salvar();
  return l.editor() == nullptr;
}

bool NovoItem(TfrmNotasFiscais& l, int nota, int numero, const std::string& codigo,
              const std::string& quantidade) {
  l.AbreItem(nota, nullptr, -1);
  TfrmProdutoNota& i = *l.item();
  i.edtItem()->setText(QString::number(numero));
  i.edtCodigo()->setText(QString::fromStdString(codigo));
  i.edtDescricao()->setText(QStringLiteral("Parafuso"));
  i.edtQuantidade()->setText(QString::fromStdString(quantidade));
  i.edtCST()->setText(QStringLiteral("000"));
  i.edtValorItem()->setText(QStringLiteral("1000"));
  i.edtDesconto()->setText(QStringLiteral("000"));
  i.edtSubstituicao()->setText(QStringLiteral("000"));
  i.edtIPI()->setText(QStringLiteral("000"));
  i.edtAliquota()->setText(QStringLiteral("1800"));
  i.Salvar();
  return l.item() == nullptr;
}

int Prepara() {
  store::TProprietario dono;
  dono.TX_CNPJ = "11222333000181";
  dono.TX_IE = "110042490114";
  dono.TX_RAZAO_SOCIAL = "Dono";
  dono.TX_ESTADO = "SP";
  if (!dono.Inserir()) return 1;
  for (const char* codigo : {"1", "2"}) {
    store::TProduto p;
    p.CD_PRODUTO = codigo;
    p.TX_DESCRICAO = "Parafuso";
    p.TX_UNIDADE = "UN";
    p.TX_TIPO_ALIQUOTA = "ICMS";
    p.TX_VALOR_UNITARIO = "200";
    p.CS_CONTROLA_ESTOQUE = true;
    p.TX_QUANTIDADE = "0";
    if (!p.Inserir()) return 1;
    store::TInventario inv;
    inv.DATA_INVENTARIO = {2026, 1, 2};
    inv.ID_PRODUTO = p.ID_PRODUTO;
    inv.QUANTIDADE = "0";
    inv.VALOR_PRODUTO = "000";
    inv.CODIGO_POSSE = 1;
    inv.CNPJ_POSS_PROP = dono.TX_CNPJ;
    inv.IE_POSS_PROP = dono.TX_IE;
    inv.UF_POSSPROP = dono.TX_ESTADO;
    if (!inv.Inserir()) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "uso: %s DADOS BASE preparar|notas N|dialogo|grupo\n", argv[0]);
    return 2;
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const std::filesystem::path dados = argv[1];
  const std::string base = argv[2], modo = argv[3];
  Respostas respostas;
  InstalaDialogos(&respostas);
  store::TdmTributarium dm;
  dm.PathBaseDados = dados.string();
  dm.ConectaCatalogo();
  if (!dm.ValidaLogin("ADMIN", "admin")) return 1;
  dm.TrocarBanco(base, (dados / base).string());
  shell::testing::PrincipalSemJanela principal(dm);

  if (modo == "preparar") return Prepara();

  TfrmProdutoNota::Executa = [](QDialog& d) {
    if (auto* p = qobject_cast<TfrmInsereProduto*>(&d)) {
      EsperaOFim("dialogo");
      p->Salvar();
      return p->result();
    }
    return int(QDialog::Rejected);
  };
  TfrmNotasFiscais lista(principal);
  const int notas = modo == "notas" && argc > 4 ? std::atoi(argv[4]) : 1;
  const int primeira = UltimaNota(dm) + 1;
  for (int k = primeira; k < primeira + notas; ++k) {
    if (!NovaNota(lista, k)) return 1;
    const int nota = UltimaNota(dm);
    Diz("nota " + std::to_string(k));
    if (modo == "dialogo") {
      NovoItem(lista, nota, 1, "99", "1000");
      return 1;  // the dialog waits to be killed
    }
    if (modo == "grupo") {
      // The inventory write logs its line while the item's writes are not yet committed.
      dm.ProcessMessages = [&dm] {
        if (dm.trDados.InGroup()) EsperaOFim("grupo");
      };
      NovoItem(lista, nota, 1, "1", "1500");
      return 1;
    }
    for (auto [n, codigo] : {std::pair{1, "1"}, std::pair{2, "2"}}) {
      const std::string quantidade = std::to_string(1000 * n + k % 7);
      if (!NovoItem(lista, nota, n, codigo, quantidade)) return 1;
      Diz("item " + std::to_string(k) + " " + codigo + " " + quantidade);
    }
  }
  return 0;
}
