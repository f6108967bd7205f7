// Draws the program's icon once, as shapes, and writes it both as the
// scalable SVG and as PNGs of the usual theme sizes, so every size shows
// the same drawing:  ranquil-icon-painter <folder>  writes
// <folder>/hicolor/scalable/apps/ranquil.svg and
// <folder>/hicolor/<n>x<n>/apps/ranquil.png.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace
{
constexpr int canvas = 256;
constexpr int pngSizes[] = { 16, 22, 24, 32, 48, 64, 128, 256 };

// One filled shape: a solid colour, or a vertical gradient from `color` at
// the top of the canvas to `bottomColor` at its bottom.
struct Layer {
    QPainterPath shape;
    QColor color;
    QColor bottomColor;
};

QPainterPath stroked(const QPainterPath& line, qreal width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(line).simplified();
}

QPainterPath circle(QPointF centre, qreal radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

// A tile in the program's blue; three peers of a network joined above a
// download arrow that drops into a tray.
std::vector<Layer> drawing()
{
    std::vector<Layer> layers;
    QPainterPath tile;
    tile.addRoundedRect(QRectF(16, 16, 224, 224), 48, 48);
    layers.push_back({ tile, QColor(0x2a, 0x7d, 0xc9), QColor(0x0d, 0x3f, 0x73) });

    const QPointF peers[] = { { 64, 84 }, { 128, 56 }, { 192, 84 } };
    QPainterPath links(peers[0]);
    links.lineTo(peers[1]);
    links.lineTo(peers[2]);
    layers.push_back({ stroked(links, 10), QColor(0x9f, 0xd3, 0xff), {} });
    for (const QPointF& peer : peers)
        layers.push_back({ circle(peer, 17), QColor(Qt::white), {} });

    QPainterPath arrow;
    arrow.addPolygon(QPolygonF({ { 110, 100 }, { 146, 100 }, { 146, 148 }, { 176, 148 }, { 128, 196 },
        { 80, 148 }, { 110, 148 }, { 110, 100 } }));
    layers.push_back({ arrow, QColor(0xff, 0xb0, 0x2e), {} });

    QPainterPath tray;
    tray.addRoundedRect(QRectF(60, 200, 136, 16), 8, 8);
    layers.push_back({ tray, QColor(Qt::white), {} });
    return layers;
}

QBrush brushOf(const Layer& layer)
{
    if (!layer.bottomColor.isValid())
        return layer.color;
    QLinearGradient gradient(0, 0, 0, canvas);
    gradient.setColorAt(0, layer.color);
    gradient.setColorAt(1, layer.bottomColor);
    return gradient;
}

QString svgPathData(const QPainterPath& path)
{
    QString data;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QString point = QStringLiteral("%1 %2 ").arg(e.x, 0, 'f', 2).arg(e.y, 0, 'f', 2);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            data += QLatin1Char('M') + point;
            break;
        case QPainterPath::LineToElement:
            data += QLatin1Char('L') + point;
            break;
        case QPainterPath::CurveToElement:
            data += QLatin1Char('C') + point;
            break;
        case QPainterPath::CurveToDataElement:
            data += point;
            break;
        }
    }
    return data.trimmed() + QLatin1Char('Z');
}

bool writeSvg(const QString& path, const std::vector<Layer>& layers)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << canvas << "\" height=\"" << canvas
        << "\" viewBox=\"0 0 " << canvas << ' ' << canvas << "\">\n";
    int gradients = 0;
    for (const Layer& layer : layers) {
        QString fill = layer.color.name();
        if (layer.bottomColor.isValid()) {
            fill = QStringLiteral("url(#g%1)").arg(++gradients);
            out << "  <defs><linearGradient id=\"g" << gradients
                << "\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"" << canvas
                << "\"><stop offset=\"0\" stop-color=\"" << layer.color.name()
                << "\"/><stop offset=\"1\" stop-color=\"" << layer.bottomColor.name()
                << "\"/></linearGradient></defs>\n";
        }
        const char* rule = layer.shape.fillRule() == Qt::OddEvenFill ? "evenodd" : "nonzero";
        out << "  <path fill=\"" << fill << "\" fill-rule=\"" << rule << "\" d=\"" << svgPathData(layer.shape)
            << "\"/>\n";
    }
    out << "</svg>\n";
    out.flush();
    return file.error() == QFile::NoError;
}

bool writePng(const QString& path, const std::vector<Layer>& layers, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(qreal(size) / canvas, qreal(size) / canvas);
    painter.setPen(Qt::NoPen);
    for (const Layer& layer : layers) {
        painter.setBrush(brushOf(layer));
        painter.drawPath(layer.shape);
    }
    painter.end();
    return image.save(path, "PNG");
}

bool writeFile(const QString& folder, const QString& name, const auto& write)
{
    if (!QDir().mkpath(folder) || !write(QDir(folder).filePath(name))) {
        std::fprintf(
            stderr, "ranquil-icon-painter: cannot write %s\n", qPrintable(QDir(folder).filePath(name)));
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: ranquil-icon-painter <folder>\n", stderr);
        return 1;
    }
    const QDir themes(QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("hicolor")));
    const std::vector<Layer> layers = drawing();
    bool written = writeFile(themes.filePath(QStringLiteral("scalable/apps")), QStringLiteral("ranquil.svg"),
        [&](const QString& path) { return writeSvg(path, layers); });
    for (const int size : pngSizes)
        written = writeFile(themes.filePath(QStringLiteral("%1x%1/apps").arg(size)),
                      QStringLiteral("ranquil.png"),
                      [&](const QString& path) { return writePng(path, layers, size); })
            && written;
    return written ? 0 : 1;
}
