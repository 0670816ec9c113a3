// Printing and print preview: a page holds the rows the window shows.
#include "kesview.h"

#include "view/drawhelpers.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <algorithm>

void CKesView::PrintTo(QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    // A page holds what the window shows, at the size it has on the screen, or smaller
    // where the window would not fit the printable area.
    const QRect client = viewport()->rect();
    const qreal sx = qreal(printer.logicalDpiX()) / qreal(logicalDpiX());
    const qreal sy = qreal(printer.logicalDpiY()) / qreal(logicalDpiY());
    const qreal fit = std::min({qreal(1), qreal(printer.width()) / (sx * client.width()),
                                qreal(printer.height()) / (sy * client.height())});
    painter.scale(sx * fit, sy * fit);
    // Paper is white: a dark scheme of the screen is not printed.
    OnDraw(painter, client, PaperPalette(palette()));
    painter.end();
}

QPrinter* CKesView::GetPrinter() {
    if (!m_pPrinter)
        m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_pPrinter.get();
}

void CKesView::OnFilePrint() {
    QPrintDialog dialog(GetPrinter(), this);
    if (dialog.exec() == QDialog::Accepted)
        PrintTo(*GetPrinter());
}

void CKesView::OnFilePrintPreview() {
    QPrintPreviewDialog dialog(GetPrinter(), this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* target) { PrintTo(*target); });
    dialog.exec();
}
