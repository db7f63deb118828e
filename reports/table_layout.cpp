#include "reports/table_layout.h"

#include <QFileInfo>
#include <QHash>
#include <QFontMetricsF>
#include <QImageReader>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

bool isAmount(const ReportColumn& c) {
    return c.format == QLatin1String("amount");
}
bool rightAligned(const ReportColumn& c) {
    return isAmount(c) || c.format == QLatin1String("number");
}
// Descriptions, notes and other free texts wrap within their column; numbers, dates and keys never do.
bool wraps(const ReportColumn& c) {
    return c.format.isEmpty() || c.format == QLatin1String("text");
}

QString columnTitle(const ReportColumn& c) {
    return ReportColumnTitle(c);
}

qreal longestWord(const QFontMetricsF& fm, const QString& text) {
    qreal w = 0;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        w = std::max(w, fm.horizontalAdvance(word));
    return w;
}

QString amountText(double v) {
    return QLocale().toString(v, 'f', 2);
}

// A sum or total line's label stands in its first cells until the first column with a figure.
int labelSpan(const ReportTableLine& line) {
    int end = 1;
    while (end < line.cells.size() && line.cells[end].isEmpty())
        ++end;
    return end;
}

// Widths of texts in one type, remembered: a register repeats its words, dates and keys many times, and every cell is
// needed twice (for the column widths and for its place).
class Widths {
public:
    explicit Widths(const QFontMetricsF& fm) : fm_(fm), space_(fm.horizontalAdvance(QLatin1Char(' '))) {}
    qreal of(const QString& s) {
        if (const auto it = cache_.constFind(s); it != cache_.cend())
            return *it;
        const qreal w = fm_.horizontalAdvance(s);
        cache_.insert(s, w);
        return w;
    }
    // The text in lines no wider than width: broken at blanks, a word longer than the width anywhere. The lines are
    // drawn one by one, so what is measured here is what the page shows.
    QStringList wrap(const QString& text, qreal width) {
        // The parts are measured apart; what kerning across them may add stays within the column's padding.
        const qreal room = width;
        QStringList lines;
        QString line;
        qreal lineW = 0;
        for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const qreal w = of(word);
            if (w > room) {
                if (!line.isEmpty())
                    lines << line;
                line.clear();
                lineW = 0;
                for (const QChar ch : word) {
                    const qreal cw = of(QString(ch));
                    if (lineW + cw > room && !line.isEmpty()) {
                        lines << line;
                        line.clear();
                        lineW = 0;
                    }
                    line += ch;
                    lineW += cw;
                }
                continue;
            }
            const qreal joined = line.isEmpty() ? w : lineW + space_ + w;
            if (joined > room && !line.isEmpty()) {
                lines << line;
                line = word;
                lineW = w;
            } else {
                line = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
                lineW = joined;
            }
        }
        if (!line.isEmpty() || lines.isEmpty())
            lines << line;
        return lines;
    }

private:
    const QFontMetricsF& fm_;
    qreal space_;
    QHash<QString, qreal> cache_;
};

class Planner {
public:
    Planner(const ReportLayout& layout, const ReportTable& table, const TableHeading& heading, QPaintDevice* device,
            const QSizeF& page)
        : layout_(layout), table_(table), heading_(heading), device_(device), page_(page) {}

    TablePlan run() {
        chooseFontsAndColumns();
        paginate();
        return std::move(plan_);
    }

private:
    void setFonts(qreal points) {
        plan_.body = QFont(QStringLiteral("Sans Serif"));
        plan_.body.setPointSizeF(points);
        plan_.bold = plan_.body;
        plan_.bold.setBold(true);
        plan_.title = plan_.body;
        plan_.title.setPointSizeF(13);
        plan_.title.setBold(true);
        fm_ = std::make_unique<QFontMetricsF>(plan_.body, device_);
        fmb_ = std::make_unique<QFontMetricsF>(plan_.bold, device_);
        ftm_ = std::make_unique<QFontMetricsF>(plan_.title, device_);
        widths_[0] = std::make_unique<Widths>(*fm_);
        widths_[1] = std::make_unique<Widths>(*fmb_);
        widths_[2] = std::make_unique<Widths>(*ftm_);
        const QFontMetricsF* all[3] = {fm_.get(), fmb_.get(), ftm_.get()};
        for (int f = 0; f < 3; ++f) {
            plan_.ascent[f] = all[f]->ascent();
            plan_.lineSpacing[f] = all[f]->lineSpacing();
        }
        pad_ = fm_->averageCharWidth() * 0.75;
        line_ = fm_->height() * 1.3;
    }

    // Each column as wide as its widest value (a title wraps at its words); free texts give way when the page is too
    // narrow and wrap. A table that does not fit even so is set in a smaller type.
    void chooseFontsAndColumns() {
        const int n = int(layout_.columns.size());
        for (qreal points : {7.5, 7.0, 6.5, 6.0, 5.5, 5.0}) {
            setFonts(points);
            QList<qreal> natural(n, 0.0), minimum(n, 0.0);
            for (int c = 0; c < n; ++c) {
                const QString title = columnTitle(layout_.columns[c]);
                natural[c] = wraps(layout_.columns[c]) ? fmb_->horizontalAdvance(title) : longestWord(*fmb_, title);
                minimum[c] = std::max(longestWord(*fmb_, title), fm_->horizontalAdvance(QStringLiteral("MMMMMMMM")));
            }
            for (const ReportTableLine& l : table_.lines) {
                if (l.kind == QLatin1Char('G'))
                    continue;
                const bool rowLine = l.kind == QLatin1Char('R');
                const int from = rowLine ? 0 : labelSpan(l);
                for (int c = from; c < std::min<int>(n, int(l.cells.size())); ++c)
                    if (!l.cells[c].isEmpty())
                        natural[c] = std::max(natural[c], widths_[rowLine ? 0 : 1]->of(l.cells[c]));
            }
            qreal fixed = 0, flexible = 0, flexibleMin = 0;
            for (int c = 0; c < n; ++c) {
                natural[c] += 2 * pad_;
                minimum[c] += 2 * pad_;
                if (wraps(layout_.columns[c])) {
                    flexible += natural[c];
                    flexibleMin += std::min(natural[c], minimum[c]);
                } else {
                    fixed += natural[c];
                }
            }
            const qreal width = page_.width();
            if (fixed + flexibleMin > width && points > 5.0)
                continue;
            QList<qreal> w = natural;
            if (fixed + flexible > width) {
                // The free texts share what the figures leave, each at least its minimum.
                const qreal room = std::max(flexibleMin, width - fixed);
                qreal left = room, share = flexible;
                QList<bool> done(n, false);
                for (bool changed = true; changed;) {
                    changed = false;
                    for (int c = 0; c < n; ++c)
                        if (wraps(layout_.columns[c]) && !done[c] &&
                            natural[c] * left / share < std::min(natural[c], minimum[c])) {
                            w[c] = std::min(natural[c], minimum[c]);
                            done[c] = true;
                            left -= w[c];
                            share -= natural[c];
                            changed = true;
                        }
                }
                for (int c = 0; c < n; ++c)
                    if (wraps(layout_.columns[c]) && !done[c])
                        w[c] = share > 0 ? natural[c] * left / share : natural[c];
            }
            plan_.columnW = w;
            plan_.columnX.clear();
            qreal x = 0;
            for (int c = 0; c < n; ++c) {
                plan_.columnX << x;
                x += w[c];
            }
            return;
        }
    }

    // The height of a text set in a width, in lines.
    int linesOf(int font, const QString& text, qreal width) const {
        if (text.isEmpty() || widths_[font]->of(text) <= width)
            return 1;
        return int(widths_[font]->wrap(text, width).size());
    }
    qreal heightFor(int lines) const { return line_ + (lines - 1) * fm_->lineSpacing(); }

    // A text in a box: drawn in the box, covering only its own width when it is shorter.
    void place(const QRectF& box, const QString& text, int align, int font, bool wrap) {
        if (text.isEmpty())
            return;
        const QFontMetricsF& fm = font == 2 ? *ftm_ : font == 1 ? *fmb_ : *fm_;
        PlacedText t;
        t.rect = box;
        t.text = text;
        t.font = font;
        t.flags = align | Qt::AlignTop;
        const qreal advance = widths_[font]->of(text);
        // A text that does not wrap covers its own width, even where that is more than its box: the overlap check
        // then finds what would be cut or run into its neighbour.
        if (advance <= box.width() || !wrap) {
            const qreal x = (align & Qt::AlignRight)     ? box.right() - advance
                            : (align & Qt::AlignHCenter) ? box.center().x() - advance / 2
                                                         : box.left();
            t.ink = QRectF(x, box.top(), advance, fm.height());
        } else {
            t.wrap = true;
            t.lines = widths_[font]->wrap(text, box.width());
            for (const QString& l : t.lines)
                t.lineWidths << widths_[font]->of(l);
            t.ink = QRectF(box.left(), box.top(), box.width(), fm.height() + (t.lines.size() - 1) * fm.lineSpacing());
        }
        page().texts << t;
    }

    PlannedPage& page() { return plan_.pages.last(); }

    QRectF cellBox(int c, qreal y, qreal h) const {
        return QRectF(plan_.columnX[c] + pad_, y, plan_.columnW[c] - 2 * pad_, h);
    }

    void startPage() {
        plan_.pages.append(PlannedPage{});
        const qreal titleH = ftm_->height() * 1.2;
        qreal titleRoom = page_.width();
        if (!logo_.isEmpty()) {
            const qreal h = titleH * 1.6;
            const qreal w = h * logo_.width() / std::max(1, logo_.height());
            page().logo = QRectF(page_.width() - w, 0, w, h);
            titleRoom -= w + pad_ * 4;
        }
        place(QRectF(0, 0, titleRoom, titleH), heading_.caption, Qt::AlignLeft, 2, false);
        qreal info = std::max(titleH * 1.6, titleH + line_ * 0.4);
        const qreal cw = fm_->horizontalAdvance(heading_.client), bw = fm_->horizontalAdvance(heading_.basis),
                    dw = fm_->horizontalAdvance(heading_.date), gap = pad_ * 6;
        if (cw + bw + dw + 2 * gap <= page_.width()) {
            place(QRectF(0, info, cw, line_), heading_.client, Qt::AlignLeft, 0, false);
            place(QRectF(cw + gap, info, page_.width() - cw - dw - 2 * gap, line_), heading_.basis, Qt::AlignHCenter, 0,
                  false);
        } else {
            // A long name has the line to itself (wrapped when it is longer still).
            const int lines = linesOf(0, heading_.client, page_.width());
            place(QRectF(0, info, page_.width(), heightFor(lines)), heading_.client, Qt::AlignLeft, 0, lines > 1);
            info += heightFor(lines);
            place(QRectF(0, info, page_.width() - dw - gap, line_), heading_.basis, Qt::AlignLeft, 0, false);
        }
        place(QRectF(page_.width() - dw, info, dw, line_), heading_.date, Qt::AlignRight, 0, false);
        // The column titles wrap at their words; the row is as high as the highest.
        const qreal top = info + line_ * 1.6;
        int lines = 1;
        for (int c = 0; c < plan_.columnW.size(); ++c)
            lines = std::max(lines, linesOf(1, columnTitle(layout_.columns[c]), plan_.columnW[c] - 2 * pad_));
        const qreal h = heightFor(lines);
        for (int c = 0; c < plan_.columnW.size(); ++c)
            place(cellBox(c, top, h), columnTitle(layout_.columns[c]),
                  rightAligned(layout_.columns[c]) ? Qt::AlignRight : Qt::AlignLeft, 1, true);
        page().rules << QLineF(0, top + h, page_.width(), top + h);
        y_ = top + h + line_ * 0.3;
    }

    qreal lineHeight(const ReportTableLine& l) const {
        if (l.kind == QLatin1Char('G'))
            return line_ * 1.2;
        int lines = 1;
        if (l.kind == QLatin1Char('R')) {
            for (int c = 0; c < std::min<int>(int(l.cells.size()), int(plan_.columnW.size())); ++c)
                if (wraps(layout_.columns[c]))
                    lines = std::max(lines, linesOf(0, l.cells[c], plan_.columnW[c] - 2 * pad_));
        } else {
            const int span = labelSpan(l);
            lines = linesOf(1, l.cells.value(0), labelWidth(span));
        }
        return heightFor(lines) + (l.kind == QLatin1Char('R') ? 0 : line_ * 0.2);
    }

    qreal labelWidth(int span) const {
        const int end = std::min<int>(span, int(plan_.columnW.size()));
        return plan_.columnX[end - 1] + plan_.columnW[end - 1] - 2 * pad_;
    }

    // A sum, total or carried-forward line: the label over the cells before the first figure, a rule above.
    void placeSumLine(const ReportTableLine& l, qreal h) {
        page().rules << QLineF(0, y_, page_.width(), y_);
        const qreal y = y_ + line_ * 0.15;
        const int span = labelSpan(l);
        place(QRectF(pad_, y, labelWidth(span), h), l.cells.value(0), Qt::AlignLeft, 1, true);
        for (int c = span; c < std::min<int>(int(l.cells.size()), int(plan_.columnW.size())); ++c)
            place(cellBox(c, y, h), l.cells[c], rightAligned(layout_.columns[c]) ? Qt::AlignRight : Qt::AlignLeft, 1,
                  false);
    }

    ReportTableLine carried() const {
        ReportTableLine l{QLatin1Char('S'), {}, {}};
        for (int c = 0; c < layout_.columns.size(); ++c)
            l.cells << (layout_.columns[c].sum ? amountText(running_.value(c)) : QString());
        if (!l.cells.isEmpty() && l.cells[0].isEmpty())
            l.cells[0] = QStringLiteral("Übertrag");
        return l;
    }

    void paginate() {
        if (!heading_.logo.isEmpty() && QFileInfo::exists(heading_.logo)) {
            QImageReader reader(heading_.logo);
            logo_ = reader.size().isValid() ? reader.size() : QSize();
        }
        bool anySum = false;
        for (const ReportColumn& c : layout_.columns)
            anySum = anySum || c.sum;
        const qreal bottom = page_.height() - line_ * 2.2;
        startPage();
        bool bodyOnPage = false;
        QString group;
        running_ = QList<double>(layout_.columns.size(), 0.0);
        for (qsizetype i = 0; i < table_.lines.size(); ++i) {
            const ReportTableLine& l = table_.lines[i];
            const qreal h = lineHeight(l);
            // A group heading never stands alone at the foot of a page.
            const qreal next = l.kind == QLatin1Char('G') && i + 1 < table_.lines.size() ? line_ : 0;
            const bool carry = anySum && l.kind == QLatin1Char('R');
            const qreal reserve = carry ? line_ * 1.4 : 0;
            if (bodyOnPage && y_ + h + next + reserve > bottom) {
                const bool inGroup = !group.isEmpty() && l.kind != QLatin1Char('G');
                const bool carryOver = anySum && l.kind == QLatin1Char('R');
                if (carryOver) {
                    const ReportTableLine c = carried();
                    placeSumLine(c, lineHeight(c));
                }
                startPage();
                if (inGroup) {
                    place(QRectF(pad_, y_, page_.width() - 2 * pad_, line_), group + QStringLiteral(" (Fortsetzung)"),
                          Qt::AlignLeft, 1, false);
                    y_ += line_ * 1.2;
                }
                if (carryOver) {
                    const ReportTableLine c = carried();
                    const qreal ch = lineHeight(c);
                    placeSumLine(c, ch);
                    y_ += ch;
                }
            }
            bodyOnPage = true;
            if (l.kind == QLatin1Char('G')) {
                group = l.cells.value(0);
                running_.fill(0.0);
                place(QRectF(pad_, y_ + line_ * 0.2, page_.width() - 2 * pad_, line_), group, Qt::AlignLeft, 1, false);
            } else if (l.kind == QLatin1Char('R')) {
                for (int c = 0; c < std::min<int>(int(l.cells.size()), int(plan_.columnW.size())); ++c)
                    place(cellBox(c, y_, h), l.cells[c],
                          rightAligned(layout_.columns[c]) ? Qt::AlignRight : Qt::AlignLeft, 0,
                          wraps(layout_.columns[c]));
                for (int c = 0; c < std::min<int>(int(l.values.size()), int(running_.size())); ++c)
                    running_[c] += l.values[c];
            } else {
                placeSumLine(l, h);
                if (l.kind == QLatin1Char('S'))
                    group.clear();
            }
            y_ += h;
        }
        if (!heading_.figures.isEmpty()) {
            // The statement stays on one page.
            const qreal need = line_ * (heading_.figures.size() + 3);
            if (y_ + need > bottom)
                startPage();
            y_ += line_;
            place(QRectF(pad_, y_, page_.width() - 2 * pad_, line_), heading_.figuresTitle, Qt::AlignLeft, 1, false);
            y_ += line_ * 1.3;
            qreal labelW = 0, valueW = 0;
            for (const auto& [label, value] : heading_.figures) {
                labelW = std::max(labelW, widths_[0]->of(label));
                valueW = std::max(valueW, widths_[0]->of(value));
            }
            for (const auto& [label, value] : heading_.figures) {
                place(QRectF(pad_, y_, labelW, line_), label, Qt::AlignLeft, 0, false);
                place(QRectF(pad_ + labelW + pad_ * 6, y_, valueW, line_), value, Qt::AlignRight, 0, false);
                y_ += line_;
            }
        }
        if (!heading_.closing.isEmpty()) {
            if (y_ + line_ * 2 > bottom)
                startPage();
            place(QRectF(pad_, y_ + line_, page_.width() - 2 * pad_, line_ * 3), heading_.closing, Qt::AlignLeft, 1,
                  true);
        }
        const int pages = int(plan_.pages.size());
        for (int p = 0; p < pages; ++p) {
            PlannedPage& pg = plan_.pages[p];
            const QRectF foot(0, page_.height() - line_, page_.width(), line_);
            const QString number = QStringLiteral("Seite %1 von %2").arg(p + 1).arg(pages);
            const qreal numberW = fm_->horizontalAdvance(number);
            auto put = [&](const QRectF& box, const QString& text, int align) {
                if (text.isEmpty())
                    return;
                PlacedText t;
                t.rect = box;
                t.text = text;
                t.flags = align | Qt::AlignVCenter;
                const qreal adv = std::min(box.width(), widths_[0]->of(text));
                t.ink = QRectF(align & Qt::AlignRight ? box.right() - adv : box.left(), box.top(), adv, fm_->height());
                pg.texts << t;
            };
            put(QRectF(0, foot.top(), foot.width() - numberW - 4 * pad_, line_),
                fm_->elidedText(heading_.footnote, Qt::ElideRight, foot.width() - numberW - 4 * pad_), Qt::AlignLeft);
            put(foot, number, Qt::AlignRight);
        }
    }

    const ReportLayout& layout_;
    const ReportTable& table_;
    const TableHeading& heading_;
    QPaintDevice* device_;
    QSizeF page_;
    TablePlan plan_;
    std::unique_ptr<QFontMetricsF> fm_, fmb_, ftm_;
    std::unique_ptr<Widths> widths_[3];
    qreal pad_ = 2, line_ = 10, y_ = 0;
    QSize logo_;
    QList<double> running_;
};

} // namespace

QString ReportColumnTitle(const ReportColumn& c) {
    return isAmount(c) ? c.header + QStringLiteral(" EUR") : c.header;
}

TablePlan PlanTableReport(const ReportLayout& layout, const ReportTable& table, const TableHeading& heading,
                          QPaintDevice* device, const QSizeF& page) {
    return Planner(layout, table, heading, device, page).run();
}

QStringList OverlappingTexts(const PlannedPage& page) {
    QList<const PlacedText*> texts;
    for (const PlacedText& t : page.texts)
        texts << &t;
    std::sort(texts.begin(), texts.end(),
              [](const PlacedText* a, const PlacedText* b) { return a->ink.top() < b->ink.top(); });
    QStringList found;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        // Half a pixel of tolerance: touching is no overlap.
        const QRectF a = texts[i]->ink.adjusted(0.5, 0.5, -0.5, -0.5);
        if (!page.logo.isNull() && a.intersects(page.logo))
            found << QStringLiteral("\"%1\" / Logo").arg(texts[i]->text);
        for (qsizetype j = i + 1; j < texts.size() && texts[j]->ink.top() < texts[i]->ink.bottom(); ++j)
            if (a.intersects(texts[j]->ink.adjusted(0.5, 0.5, -0.5, -0.5)))
                found << QStringLiteral("\"%1\" / \"%2\"").arg(texts[i]->text, texts[j]->text);
    }
    return found;
}
