// Draws the menu and title pictures of the main window into a folder (run at build time),
// so the pictures are made from source and stay consistent with each other.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

#include "shell/program/menu_itens.h"

using shell::Figura;
using shell::ItemMenu;

namespace {

constexpr int kMenuW = 210, kMenuH = 58;
constexpr int kTituloW = 720, kTituloH = 52;

struct Paleta {
  QColor topo, base, texto, icone, borda;
};

Paleta PaletaDe(Figura f) {
  switch (f) {
    case Figura::Selecionada:
      return {QColor(0xf7, 0xb5, 0x35), QColor(0xe0, 0x8a, 0x12), QColor(0x2b, 0x1a, 0x00),
              QColor(0x3a, 0x25, 0x00), QColor(0xa8, 0x62, 0x00)};
    case Figura::Desabilitada:
      return {QColor(0xe4, 0xe6, 0xe9), QColor(0xcf, 0xd2, 0xd6), QColor(0x8e, 0x93, 0x99),
              QColor(0xa3, 0xa8, 0xad), QColor(0xb8, 0xbc, 0xc1)};
    default:
      return {QColor(0x2f, 0x6d, 0xb5), QColor(0x1d, 0x4b, 0x85), QColor(Qt::white),
              QColor(0xdd, 0xea, 0xf8), QColor(0x14, 0x36, 0x60)};
  }
}

// A small pictogram per entry, drawn in a 32x32 box.
void DesenhaIcone(QPainter& p, int numero, const QRectF& r, const QColor& cor) {
  p.save();
  p.translate(r.topLeft());
  p.scale(r.width() / 32.0, r.height() / 32.0);
  QPen pen(cor, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  switch (numero) {
    case 1:  // database cylinder
      p.drawEllipse(QRectF(6, 4, 20, 7));
      p.drawLine(QPointF(6, 7.5), QPointF(6, 24.5));
      p.drawLine(QPointF(26, 7.5), QPointF(26, 24.5));
      p.drawArc(QRectF(6, 10, 20, 7), 180 * 16, 180 * 16);
      p.drawArc(QRectF(6, 15.5, 20, 7), 180 * 16, 180 * 16);
      p.drawArc(QRectF(6, 21, 20, 7), 180 * 16, 180 * 16);
      break;
    case 2:  // company card
      p.drawRoundedRect(QRectF(4, 7, 24, 18), 2, 2);
      p.drawEllipse(QRectF(7.5, 11, 6, 6));
      p.drawLine(QPointF(7, 22), QPointF(14, 22));
      p.drawLine(QPointF(17, 12), QPointF(25, 12));
      p.drawLine(QPointF(17, 16), QPointF(25, 16));
      p.drawLine(QPointF(17, 20), QPointF(23, 20));
      break;
    case 3:  // two people
      p.drawEllipse(QRectF(6, 6, 8, 8));
      p.drawArc(QRectF(3, 16, 14, 14), 0, 180 * 16);
      p.drawEllipse(QRectF(18, 8, 7, 7));
      p.drawArc(QRectF(15.5, 17, 12, 12), 0, 180 * 16);
      break;
    case 4: {  // invoice with folded corner
      QPainterPath path;
      path.moveTo(8, 4);
      path.lineTo(20, 4);
      path.lineTo(26, 10);
      path.lineTo(26, 28);
      path.lineTo(8, 28);
      path.closeSubpath();
      p.drawPath(path);
      p.drawLine(QPointF(20, 4), QPointF(20, 10));
      p.drawLine(QPointF(20, 10), QPointF(26, 10));
      p.drawLine(QPointF(11, 15), QPointF(23, 15));
      p.drawLine(QPointF(11, 19), QPointF(23, 19));
      p.drawLine(QPointF(11, 23), QPointF(19, 23));
      break;
    }
    case 5:  // box
      p.drawPolygon(QPolygonF({QPointF(16, 4), QPointF(28, 10), QPointF(16, 16), QPointF(4, 10)}));
      p.drawLine(QPointF(4, 10), QPointF(4, 22));
      p.drawLine(QPointF(28, 10), QPointF(28, 22));
      p.drawLine(QPointF(16, 16), QPointF(16, 28));
      p.drawLine(QPointF(4, 22), QPointF(16, 28));
      p.drawLine(QPointF(28, 22), QPointF(16, 28));
      break;
    case 6:  // clipboard with ticks
      p.drawRoundedRect(QRectF(6, 6, 20, 23), 2, 2);
      p.drawRect(QRectF(12, 3, 8, 5));
      p.drawPolyline(QPolygonF({QPointF(10, 15), QPointF(12, 17), QPointF(15, 13)}));
      p.drawLine(QPointF(17, 15), QPointF(23, 15));
      p.drawPolyline(QPolygonF({QPointF(10, 22), QPointF(12, 24), QPointF(15, 20)}));
      p.drawLine(QPointF(17, 22), QPointF(23, 22));
      break;
    case 7:  // file with an arrow (generation)
      p.drawRect(QRectF(5, 5, 15, 20));
      p.drawLine(QPointF(8, 10), QPointF(17, 10));
      p.drawLine(QPointF(8, 14), QPointF(17, 14));
      p.drawLine(QPointF(16, 24), QPointF(28, 24));
      p.drawPolyline(QPolygonF({QPointF(24, 20), QPointF(28, 24), QPointF(24, 28)}));
      break;
    default: {  // gear
      p.drawEllipse(QRectF(11, 11, 10, 10));
      for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(16, 16);
        p.rotate(i * 45.0);
        p.drawLine(QPointF(0, -9), QPointF(0, -13));
        p.restore();
      }
      p.drawEllipse(QRectF(7, 7, 18, 18));
      break;
    }
  }
  p.restore();
}

QImage Menu(const ItemMenu& item, Figura f) {
  Paleta c = PaletaDe(f);
  QImage img(kMenuW, kMenuH, QImage::Format_RGB32);
  img.fill(QColor(0xf2, 0xf4, 0xf7));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  QRectF caixa(3, 3, kMenuW - 6, kMenuH - 6);
  QLinearGradient g(caixa.topLeft(), caixa.bottomLeft());
  g.setColorAt(0, c.topo);
  g.setColorAt(1, c.base);
  p.setPen(QPen(c.borda, 1));
  p.setBrush(g);
  p.drawRoundedRect(caixa, 7, 7);
  DesenhaIcone(p, item.numero, QRectF(12, 13, 32, 32), c.icone);
  QFont numero(QStringLiteral("DejaVu Sans"), 7, QFont::Bold);
  p.setFont(numero);
  p.setPen(c.icone);
  p.drawText(QRectF(kMenuW - 30, 6, 22, 12), Qt::AlignRight | Qt::AlignTop,
             QStringLiteral("%1").arg(item.numero, 2, 10, QLatin1Char('0')));
  QFont fonte(QStringLiteral("DejaVu Sans"), 10, QFont::Bold);
  p.setFont(fonte);
  p.setPen(c.texto);
  p.drawText(QRectF(52, 4, kMenuW - 60, kMenuH - 8),
             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, QString::fromUtf8(item.rotulo));
  return img;
}

QImage Titulo(const ItemMenu& item) {
  QImage img(kTituloW, kTituloH, QImage::Format_RGB32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  QLinearGradient g(0, 0, kTituloW, 0);
  g.setColorAt(0, QColor(0x1d, 0x4b, 0x85));
  g.setColorAt(0.7, QColor(0x2f, 0x6d, 0xb5));
  g.setColorAt(1, QColor(0xf2, 0xf4, 0xf7));
  p.fillRect(img.rect(), g);
  p.fillRect(QRect(0, kTituloH - 4, kTituloW, 4), QColor(0xf7, 0xb5, 0x35));
  DesenhaIcone(p, item.numero, QRectF(14, 9, 32, 32), QColor(Qt::white));
  QFont fonte(QStringLiteral("DejaVu Sans"), 15, QFont::Bold);
  p.setFont(fonte);
  p.setPen(Qt::white);
  p.drawText(QRectF(60, 0, kTituloW - 70, kTituloH - 4), Qt::AlignLeft | Qt::AlignVCenter,
             QString::fromUtf8(item.rotulo));
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "uso: gerar_imagens PASTA_DO_PROGRAMA\n");
    return 2;
  }
  QDir pasta(QString::fromLocal8Bit(argv[1]));
  if (!pasta.mkpath(QStringLiteral("Imagens"))) {
    std::fprintf(stderr, "gerar_imagens: nao foi possivel criar %s/Imagens\n", argv[1]);
    return 1;
  }
  int falhas = 0;
  auto grava = [&](const QImage& img, const QString& nome) {
    if (!img.save(pasta.filePath(nome), "JPG", 92)) {
      std::fprintf(stderr, "gerar_imagens: falha ao gravar %s\n", qPrintable(nome));
      ++falhas;
    }
  };
  for (const ItemMenu& item : shell::ItensMenu()) {
    grava(Menu(item, Figura::Normal), shell::NomeFigura(item, Figura::Normal));
    grava(Menu(item, Figura::Selecionada), shell::NomeFigura(item, Figura::Selecionada));
    if (item.precisaBase)
      grava(Menu(item, Figura::Desabilitada), shell::NomeFigura(item, Figura::Desabilitada));
    grava(Titulo(item), shell::NomeFigura(item, Figura::Titulo));
  }
  return falhas ? 1 : 0;
}
