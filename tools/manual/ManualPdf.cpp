// manual-pdf: renders a Markdown manual to PDF with Qt's own text document and PDF writer.
// usage: manual-pdf MANUAL.md OUTPUT.pdf TITLE
// Images are looked up relative to the Markdown file and shrunk to the text width.
#include <QFile>
#include <QFont>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>
#include <algorithm>
#include <cstdio>

namespace {

// Markdown has no image sizes: shrink every picture wider than the text to the text's width.
bool FitImages(QTextDocument& document, const QString& baseDir, double textWidth) {
    bool allFound = true;
    QList<std::pair<QTextFragment, QTextImageFormat>> images;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isImageFormat())
                images.append({fragment, fragment.charFormat().toImageFormat()});
        }
    }
    for (auto& [fragment, format] : images) {
        const QImage image(baseDir + "/" + format.name());
        if (image.isNull()) {
            std::fprintf(stderr, "manual-pdf: missing image %s\n", qPrintable(format.name()));
            allFound = false;
            continue;
        }
        const double width = std::min<double>(image.width(), textWidth);
        format.setWidth(width);
        format.setHeight(image.height() * width / image.width());
        QTextCursor cursor(&document);
        cursor.setPosition(fragment.position());
        cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
        cursor.setCharFormat(format);
    }
    return allFound;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: manual-pdf MANUAL.md OUTPUT.pdf TITLE\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);

    QFile file(input);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "manual-pdf: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString baseDir = QFileInfo(input).absolutePath();

    QPdfWriter writer(output);
    writer.setTitle(QString::fromLocal8Bit(argv[3]));
    writer.setCreator(QStringLiteral("Orvex FSK Programmer"));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter));

    QTextDocument document;
    document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    document.setBaseUrl(QUrl::fromLocalFile(baseDir + "/"));
    document.setMarkdown(QString::fromUtf8(file.readAll()));
    // The document lays out in points; the text is as wide as the page's printable area.
    const QSizeF page = writer.pageLayout().paintRect(QPageLayout::Point).size();
    document.setPageSize(page);
    const bool imagesFound = FitImages(document, baseDir, page.width() * 0.9);
    document.print(&writer);
    return imagesFound ? 0 : 1;
}
