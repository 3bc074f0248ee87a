#include "uilib/render_engine.h"

#include <QFontMetrics>
#include <QSvgRenderer>
#include <QTextBoundaryFinder>
#include <QLinearGradient>
#include <QPainterPath>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "uilib/internal/render_context.h"
#include "uilib/internal/text_codec.h"
#include "uilib/internal/ui_resources.h"

using uilib_detail::FontOf;
using uilib_detail::FromGbk;

namespace {

int QtAlignment(UINT uStyle) {
    int flags = 0;
    if (uStyle & DT_CENTER)
        flags |= Qt::AlignHCenter;
    else if (uStyle & DT_RIGHT)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    if (uStyle & DT_VCENTER)
        flags |= Qt::AlignVCenter;
    else if (uStyle & DT_BOTTOM)
        flags |= Qt::AlignBottom;
    else
        flags |= Qt::AlignTop;
    return flags;
}

// One piece of marked-up text with its look, or a line break.
struct MarkupRun {
    QString text;
    QFont font;
    QColor color;
    int spaceBefore = 0;
    bool lineBreak = false;
};

struct MarkupState {
    int fontId;
    bool bold = false, italic = false, underline = false;
    DWORD color;
};

QFont StyledFont(CPaintManagerUI* manager, const MarkupState& state) {
    QFont font = FontOf(manager, state.fontId);
    if (state.bold) font.setBold(true);
    if (state.italic) font.setItalic(true);
    if (state.underline) font.setUnderline(true);
    return font;
}

// Applies one tag; false when it is not one of ours (then it is shown as text).
bool ApplyTag(const std::string& tag, std::vector<MarkupState>& stack, int& pendingSpace,
              bool& lineBreak) {
    MarkupState top = stack.back();
    if (tag == "b" || tag == "i" || tag == "u") {
        (tag == "b" ? top.bold : tag == "i" ? top.italic : top.underline) = true;
        stack.push_back(top);
    } else if (tag.size() > 2 && tag[0] == 'c' && tag[1] == ' ') {
        top.color = ParseColor(tag.c_str() + 2);
        stack.push_back(top);
    } else if (tag.size() > 2 && tag[0] == 'f' && tag[1] == ' ') {
        top.fontId = std::atoi(tag.c_str() + 2);
        stack.push_back(top);
    } else if (tag.size() > 2 && tag[0] == 'x' && tag[1] == ' ') {
        pendingSpace += std::atoi(tag.c_str() + 2);
    } else if (tag == "n") {
        lineBreak = true;
    } else if (tag == "/b" || tag == "/i" || tag == "/u" || tag == "/c" || tag == "/f") {
        if (stack.size() > 1) stack.pop_back();
    } else {
        return false;
    }
    return true;
}

// Walks marked-up text: onTag(tag) for each "<...>" (false: not a tag of ours, it is text), and
// onChars(start, length) for everything else, a GBK character never split.
template <typename OnChars, typename OnTag>
void WalkMarkup(const char* text, OnChars onChars, OnTag onTag) {
    for (const char* p = text; *p;) {
        const char* close = *p == '<' ? std::strchr(p, '>') : nullptr;
        if (close) {
            if (!onTag(std::string(p + 1, close))) onChars(p, close + 1 - p);
            p = close + 1;
            continue;
        }
        // A GBK lead byte carries its trail byte along, whatever that byte is.
        std::size_t length = static_cast<unsigned char>(*p) >= 0x81 && p[1] ? 2 : 1;
        onChars(p, length);
        p += length;
    }
}

std::vector<MarkupRun> ParseMarkup(CPaintManagerUI* manager, const char* text, DWORD color,
                                   int iFont) {
    std::vector<MarkupRun> runs;
    std::vector<MarkupState> stack{MarkupState{iFont, false, false, false, color}};
    std::string pending;
    int pendingSpace = 0;
    auto makeRun = [&] {
        MarkupRun run;
        run.font = StyledFont(manager, stack.back());
        run.color = ToQColor(stack.back().color);
        return run;
    };
    auto flush = [&] {
        if (pending.empty() && pendingSpace == 0) return;
        MarkupRun run = makeRun();
        run.text = FromGbk(pending);
        run.spaceBefore = pendingSpace;
        runs.push_back(run);
        pending.clear();
        pendingSpace = 0;
    };
    WalkMarkup(
        text, [&](const char* chars, std::size_t length) { pending.append(chars, length); },
        [&](const std::string& tag) {
            flush();
            bool lineBreak = false;
            if (!ApplyTag(tag, stack, pendingSpace, lineBreak)) return false;
            if (lineBreak) {
                MarkupRun run = makeRun();
                run.lineBreak = true;
                runs.push_back(run);
            }
            return true;
        });
    flush();
    return runs;
}

// The part of a word that lies in one run: "<b>ab</b>cd" is one word of two parts.
struct WordPart {
    const MarkupRun* run;
    const QFontMetrics* metrics;
    QString text;
    int space;       // the run's spaceBefore, on its first part
    int advance;     // of the text, with its trailing blanks
    int inkAdvance;  // without them (0 for blanks only): blanks at a line's end take no room
};

// A place where a line may end: a word with the blanks after it, or one CJK character. Where it
// ends is found in the paragraph's whole text, so a word may span runs.
struct Word {
    std::vector<WordPart> parts;
    int advance = 0;
    int inkAdvance = 0;

    void Add(WordPart part) {
        if (part.inkAdvance > 0) inkAdvance = advance + part.space + part.inkAdvance;
        advance += part.space + part.advance;
        parts.push_back(std::move(part));
    }
};

WordPart MakePart(const MarkupRun& run, const QFontMetrics& metrics, QString text, int space) {
    qsizetype ink = text.size();
    while (ink > 0 && text.at(ink - 1).isSpace()) --ink;
    int advance = metrics.horizontalAdvance(text);
    int inkAdvance = ink == text.size() ? advance : metrics.horizontalAdvance(text.left(ink));
    return WordPart{&run, &metrics, std::move(text), space, advance, inkAdvance};
}

// Positions in text where a line may end, the text's end included.
std::vector<qsizetype> LineBoundaries(const QString& text) {
    std::vector<qsizetype> ends;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary())
        if (end > 0) ends.push_back(end);
    if (ends.empty() || ends.back() != text.size()) ends.push_back(text.size());
    return ends;
}

// The words of a paragraph (runs without line breaks). A run without text still joins the
// word where it stands, for its space and line height.
std::vector<Word> ParagraphWords(const MarkupRun* runs, const QFontMetrics* metrics,
                                 std::size_t count) {
    QString all;
    for (std::size_t i = 0; i < count; ++i) all += runs[i].text;
    std::vector<qsizetype> ends = LineBoundaries(all);
    std::vector<Word> words(1);
    auto boundary = ends.begin();
    qsizetype pos = 0;
    for (std::size_t i = 0; i < count; ++i) {
        qsizetype runEnd = pos + runs[i].text.size();
        int space = runs[i].spaceBefore;
        if (pos == runEnd) words.back().Add(MakePart(runs[i], metrics[i], {}, space));
        while (pos < runEnd) {
            while (*boundary <= pos) ++boundary;
            qsizetype partEnd = std::min(*boundary, runEnd);
            words.back().Add(MakePart(runs[i], metrics[i], all.mid(pos, partEnd - pos), space));
            space = 0;
            pos = partEnd;
            if (partEnd == *boundary) words.emplace_back();
        }
    }
    if (words.size() > 1 && words.back().parts.empty()) words.pop_back();
    return words;
}

// Splits a word wider than a whole line into pieces that each fit from the line's start,
// measuring every character once (unrounded, so that the sum matches the piece's width). With
// less room than a line left, the first piece may be empty: the word starts on the next line.
std::vector<QString> CharacterPieces(const QString& word, const QFont& font, int firstRoom,
                                     int lineWidth) {
    QFontMetricsF metrics(font);
    std::vector<QString> pieces;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, word);
    qsizetype pieceStart = 0, charStart = 0;
    qreal used = 0, room = firstRoom;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        qreal advance = metrics.horizontalAdvance(word.mid(charStart, end - charStart));
        if (used + advance > room && (charStart > pieceStart || room < lineWidth)) {
            pieces.push_back(word.mid(pieceStart, charStart - pieceStart));
            pieceStart = charStart;
            used = 0;
            room = lineWidth;
        }
        used += advance;
        charStart = end;
    }
    if (charStart > pieceStart) pieces.push_back(word.mid(pieceStart, charStart - pieceStart));
    return pieces;
}

// Lays the runs out in lines no wider than maxWidth (0: unlimited) and calls place for each
// piece with its position relative to the text's top left. Returns the size used. Lines end
// between words, wherever the runs' pieces meet; only a word wider than the line is broken
// inside. Each piece of text is measured a bounded number of times, so long texts lay out in
// linear time.
template <typename Place>
SIZE LayoutRuns(const std::vector<MarkupRun>& runs, int maxWidth, bool wrap, Place place) {
    if (maxWidth <= 0) wrap = false;
    std::vector<QFontMetrics> metrics;
    std::vector<int> advances;
    metrics.reserve(runs.size());
    for (const MarkupRun& run : runs) {
        metrics.emplace_back(run.font);
        advances.push_back(metrics.back().horizontalAdvance(run.text));
    }
    int x = 0, inkX = 0, y = 0, lineHeight = 0, width = 0;
    auto newLine = [&] {
        y += lineHeight;
        width = std::max(width, inkX);
        x = inkX = lineHeight = 0;
    };
    auto put = [&](const MarkupRun& run, const QString& piece, const QFontMetrics& fm, int advance,
                   int inkAdvance) {
        lineHeight = std::max(lineHeight, fm.height());
        if (!piece.isEmpty()) place(run, piece, x, y, fm);
        inkX = x + inkAdvance;
        x += advance;
    };
    auto putPart = [&](const WordPart& part) {
        x += part.space;
        put(*part.run, part.text, *part.metrics, part.advance, part.inkAdvance);
    };
    // A word wider than the whole line: its parts break inside where they must.
    auto breakWord = [&](const Word& word) {
        for (const WordPart& part : word.parts) {
            if (x + part.space + part.inkAdvance <= maxWidth) {
                putPart(part);
                continue;
            }
            x += part.space;
            std::vector<QString> pieces =
                CharacterPieces(part.text, part.run->font, maxWidth - x, maxWidth);
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                if (i > 0) newLine();
                int advance = part.metrics->horizontalAdvance(pieces[i]);
                put(*part.run, pieces[i], *part.metrics, advance, advance);
            }
        }
    };
    auto layoutParagraph = [&](std::size_t first, std::size_t count) {
        int total = 0;
        for (std::size_t i = first; i < first + count; ++i) total += runs[i].spaceBefore + advances[i];
        if (!wrap || x + total <= maxWidth) {
            for (std::size_t i = first; i < first + count; ++i) {
                x += runs[i].spaceBefore;
                put(runs[i], runs[i].text, metrics[i], advances[i], advances[i]);
            }
            return;
        }
        for (const Word& word : ParagraphWords(&runs[first], &metrics[first], count)) {
            if (x > 0 && x + word.inkAdvance > maxWidth) newLine();
            if (word.inkAdvance > maxWidth - x) {
                breakWord(word);
                continue;
            }
            for (const WordPart& part : word.parts) putPart(part);
        }
    };
    std::size_t first = 0;
    for (std::size_t i = 0; i <= runs.size(); ++i) {
        if (i < runs.size() && !runs[i].lineBreak) continue;
        if (i > first) layoutParagraph(first, i - first);
        if (i < runs.size()) {
            lineHeight = std::max(lineHeight, metrics[i].height());
            newLine();
        }
        first = i + 1;
    }
    width = std::max(width, inkX);
    return SIZE{width, y + lineHeight};
}

void DrawPixmapPart(QPainter& painter, const QRect& dest, const QPixmap& pixmap, const QRect& src) {
    if (dest.isEmpty() || src.isEmpty()) return;
    painter.drawPixmap(dest, pixmap, src);
}

// Nine-patch drawing: corners keep their size, edges and centre stretch.
void DrawNinePatch(QPainter& painter, const QRect& dest, const QPixmap& pixmap, const QRect& src,
                   const RECT& corner) {
    int l = corner.left, t = corner.top, r = corner.right, b = corner.bottom;
    int dx[4] = {dest.left(), dest.left() + l, dest.right() + 1 - r, dest.right() + 1};
    int dy[4] = {dest.top(), dest.top() + t, dest.bottom() + 1 - b, dest.bottom() + 1};
    int sx[4] = {src.left(), src.left() + l, src.right() + 1 - r, src.right() + 1};
    int sy[4] = {src.top(), src.top() + t, src.bottom() + 1 - b, src.bottom() + 1};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            DrawPixmapPart(
                painter, QRect(QPoint(dx[col], dy[row]), QPoint(dx[col + 1] - 1, dy[row + 1] - 1)),
                pixmap, QRect(QPoint(sx[col], sy[row]), QPoint(sx[col + 1] - 1, sy[row + 1] - 1)));
}

struct ImageDescription {
    CDuiString file;
    RECT source{0, 0, 0, 0};
    RECT corner{0, 0, 0, 0};
    RECT dest{0, 0, 0, 0};
    bool hasSource = false, hasDest = false;
    int fade = 255;
};

void ReadImageAttributes(const char* text, ImageDescription& image) {
    if (!std::strchr(text, '=')) {
        image.file = text;
        return;
    }
    // Same syntax as an attribute list, with single quotes.
    const char* p = text;
    while (*p) {
        while (*p == ' ') ++p;
        const char* nameStart = p;
        while (*p && *p != '=') ++p;
        std::string name(nameStart, p);
        if (*p != '=' || (p[1] != '\'' && p[1] != '"')) break;
        char quote = p[1];
        const char* valueStart = p + 2;
        const char* valueEnd = std::strchr(valueStart, quote);
        if (!valueEnd) break;
        std::string value(valueStart, valueEnd);
        p = valueEnd + 1;
        if (name == "file")
            image.file = value.c_str();
        else if (name == "source")
            image.source = ParseRect(value.c_str()), image.hasSource = true;
        else if (name == "corner")
            image.corner = ParseRect(value.c_str());
        else if (name == "dest")
            image.dest = ParseRect(value.c_str()), image.hasDest = true;
        else if (name == "fade")
            image.fade = std::atoi(value.c_str());
    }
}

}  // namespace

void CRenderEngine::DrawColor(CRenderContext& ctx, const RECT& rc, DWORD color) {
    if ((color >> 24) == 0 || rc.IsEmpty()) return;
    ctx.painter().fillRect(ToQRect(rc), ToQColor(color));
}

void CRenderEngine::DrawGradient(CRenderContext& ctx, const RECT& rc, DWORD dwFirst, DWORD dwSecond,
                                 bool bVertical) {
    QRect r = ToQRect(rc);
    QLinearGradient gradient(r.topLeft(), bVertical ? r.bottomLeft() : r.topRight());
    gradient.setColorAt(0, ToQColor(dwFirst));
    gradient.setColorAt(1, ToQColor(dwSecond));
    ctx.painter().fillRect(r, gradient);
}

namespace {

// The painter for one shape, with its pen and brush; the painter's state comes back afterwards.
class ShapePainter {
public:
    ShapePainter(CRenderContext& ctx, const QPen& pen, const QBrush& brush, bool bSmooth = true)
        : m_painter(ctx.painter()) {
        m_painter.save();
        if (bSmooth) m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.setPen(pen);
        m_painter.setBrush(brush);
    }
    ~ShapePainter() { m_painter.restore(); }
    ShapePainter(const ShapePainter&) = delete;
    ShapePainter& operator=(const ShapePainter&) = delete;
    QPainter* operator->() { return &m_painter; }

private:
    QPainter& m_painter;
};

// Where a line nSize pixels wide runs so that all of it stays inside rc.
QRectF StrokeInside(const RECT& rc, int nSize) {
    double inset = nSize / 2.0;
    return QRectF(rc.left + inset, rc.top + inset, rc.GetWidth() - nSize, rc.GetHeight() - nSize);
}

}  // namespace

void CRenderEngine::DrawLine(CRenderContext& ctx, POINT from, POINT to, int nSize, DWORD color) {
    ShapePainter painter(ctx, QPen(ToQColor(color), nSize), Qt::NoBrush, false);
    painter->drawLine(from.x, from.y, to.x, to.y);
}

void CRenderEngine::DrawRect(CRenderContext& ctx, const RECT& rc, int nSize, DWORD color) {
    if (nSize <= 0) return;
    QPen pen(ToQColor(color), nSize);
    pen.setJoinStyle(Qt::MiterJoin);
    ShapePainter painter(ctx, pen, Qt::NoBrush, false);
    painter->drawRect(StrokeInside(rc, nSize));
}

void CRenderEngine::DrawFocusRing(CRenderContext& ctx, const RECT& rc, SIZE round, DWORD color) {
    const int ring = 2;
    const RECT lining{rc.left + ring, rc.top + ring, rc.right - ring, rc.bottom - ring};
    if (lining.IsEmpty()) return;
    const bool rounded = round.cx > 0 || round.cy > 0;
    auto outline = [&](const RECT& frame, int nSize, int shrink, DWORD colour) {
        if (rounded)
            DrawRoundRect(ctx, frame, nSize, std::max(0, round.cx - shrink),
                          std::max(0, round.cy - shrink), colour);
        else
            DrawRect(ctx, frame, nSize, colour);
    };
    outline(rc, ring, 0, color);
    outline(lining, 1, 2 * ring, 0xFFFFFFFF);
}

void CRenderEngine::DrawRoundRect(CRenderContext& ctx, const RECT& rc, int nSize, int width,
                                  int height, DWORD color) {
    ShapePainter painter(ctx, QPen(ToQColor(color), nSize), Qt::NoBrush);
    painter->drawRoundedRect(StrokeInside(rc, nSize), width / 2.0, height / 2.0);
}

void CRenderEngine::FillRoundRect(CRenderContext& ctx, const RECT& rc, int width, int height,
                                  DWORD color) {
    ShapePainter painter(ctx, Qt::NoPen, ToQColor(color));
    painter->drawRoundedRect(ToQRect(rc), width / 2.0, height / 2.0);
}

void CRenderEngine::FillEllipse(CRenderContext& ctx, const RECT& rc, DWORD color) {
    ShapePainter painter(ctx, Qt::NoPen, ToQColor(color));
    painter->drawEllipse(ToQRect(rc));
}

void CRenderEngine::DrawGlyph(CRenderContext& ctx, const RECT& rc, Glyph glyph, DWORD color,
                              int nSize) {
    QPen pen(ToQColor(color), nSize);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    QRectF r(rc.left, rc.top, rc.GetWidth(), rc.GetHeight());
    double w = r.width(), h = r.height();
    QPainterPath path;
    switch (glyph) {
        case GLYPH_CHECK:
            path.moveTo(r.left() + w * 0.2, r.top() + h * 0.52);
            path.lineTo(r.left() + w * 0.42, r.top() + h * 0.74);
            path.lineTo(r.left() + w * 0.8, r.top() + h * 0.3);
            break;
        case GLYPH_ARROW_DOWN:
            path.moveTo(r.left() + w * 0.25, r.top() + h * 0.38);
            path.lineTo(r.center().x(), r.top() + h * 0.62);
            path.lineTo(r.right() - w * 0.25, r.top() + h * 0.38);
            break;
        case GLYPH_ARROW_UP:
            path.moveTo(r.left() + w * 0.25, r.top() + h * 0.62);
            path.lineTo(r.center().x(), r.top() + h * 0.38);
            path.lineTo(r.right() - w * 0.25, r.top() + h * 0.62);
            break;
        case GLYPH_ARROW_RIGHT:
            path.moveTo(r.left() + w * 0.38, r.top() + h * 0.25);
            path.lineTo(r.left() + w * 0.62, r.center().y());
            path.lineTo(r.left() + w * 0.38, r.bottom() - h * 0.25);
            break;
        case GLYPH_CROSS:
            path.moveTo(r.left() + w * 0.3, r.top() + h * 0.3);
            path.lineTo(r.right() - w * 0.3, r.bottom() - h * 0.3);
            path.moveTo(r.right() - w * 0.3, r.top() + h * 0.3);
            path.lineTo(r.left() + w * 0.3, r.bottom() - h * 0.3);
            break;
    }
    ShapePainter(ctx, pen, Qt::NoBrush)->drawPath(path);
}

namespace {

// Every frame paints the same texts again: each is converted from GBK and measured once.
struct ShownText {
    QString text;
    std::unordered_map<const QFont*, int> widths;

    int WidthIn(const QFont& font) {
        auto it = widths.find(&font);
        if (it == widths.end())
            it = widths.emplace(&font, uilib_detail::MetricsOf(font).horizontalAdvance(text)).first;
        return it->second;
    }
};

ShownText& ShownTextOf(const char* gbk) {
    static std::unordered_map<std::string, ShownText> cache;
    // Bounded: a long session shows many more texts than any one window holds.
    if (cache.size() > 50000) cache.clear();
    auto it = cache.find(gbk);
    if (it == cache.end()) it = cache.emplace(gbk, ShownText{FromGbk(gbk), {}}).first;
    return it->second;
}

// Plain text as runs: one per line, so that line feeds still end lines when wrapping.
std::vector<MarkupRun> PlainRuns(const QString& text, const QFont& font, DWORD color) {
    std::vector<MarkupRun> runs;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (!runs.empty()) runs.push_back(MarkupRun{{}, font, ToQColor(color), 0, true});
        runs.push_back(MarkupRun{line, font, ToQColor(color), 0, false});
    }
    return runs;
}

void DrawRuns(CRenderContext& ctx, const RECT& rc, const std::vector<MarkupRun>& runs,
              UINT uStyle) {
    bool wrap = (uStyle & DT_WORDBREAK) != 0;
    SIZE used = LayoutRuns(runs, rc.GetWidth(), wrap, [](auto&&...) {});
    int left = rc.left, top = rc.top;
    if (uStyle & DT_CENTER)
        left += (rc.GetWidth() - used.cx) / 2;
    else if (uStyle & DT_RIGHT)
        left += rc.GetWidth() - used.cx;
    if (uStyle & DT_VCENTER)
        top += (rc.GetHeight() - used.cy) / 2;
    else if (uStyle & DT_BOTTOM)
        top += rc.GetHeight() - used.cy;
    QPainter& painter = ctx.painter();
    CRenderClip clip(ctx, rc);
    LayoutRuns(
        runs, rc.GetWidth(), wrap,
        [&](const MarkupRun& run, const QString& piece, int x, int y, const QFontMetrics& metrics) {
            painter.setFont(run.font);
            painter.setPen(run.color);
            painter.drawText(left + x, top + y + metrics.ascent(), piece);
        });
}

}  // namespace

void CRenderEngine::DrawText(CRenderContext& ctx, CPaintManagerUI* pManager, const RECT& rc,
                             LPCTSTR pstrText, DWORD dwTextColor, int iFont, UINT uStyle) {
    if (!pstrText || !*pstrText || rc.IsEmpty()) return;
    QPainter& painter = ctx.painter();
    const QFont& font = FontOf(pManager, iFont);
    ShownText& shown = ShownTextOf(pstrText);
    if (uStyle & DT_WORDBREAK) {
        DrawRuns(ctx, rc, PlainRuns(shown.text, font, dwTextColor), uStyle);
        return;
    }
    QString text = shown.text;
    QRect r = ToQRect(rc);
    // Only a text wider than its place is shortened: eliding shapes the whole text again.
    if ((uStyle & DT_END_ELLIPSIS) && shown.WidthIn(font) > r.width())
        text = uilib_detail::MetricsOf(font).elidedText(text, Qt::ElideRight, r.width());
    painter.setFont(font);
    painter.setPen(ToQColor(dwTextColor));
    painter.drawText(r, QtAlignment(uStyle), text);
}

void CRenderEngine::DrawHtmlText(CRenderContext& ctx, CPaintManagerUI* pManager, const RECT& rc,
                                 LPCTSTR pstrText, DWORD dwTextColor, int iFont, UINT uStyle) {
    if (!pstrText || !*pstrText || rc.IsEmpty()) return;
    DrawRuns(ctx, rc, ParseMarkup(pManager, pstrText, dwTextColor, iFont), uStyle);
}

SIZE CRenderEngine::GetTextSize(CPaintManagerUI* pManager, LPCTSTR pstrText, int iFont, UINT uStyle,
                                int maxWidth) {
    const QFont& font = FontOf(pManager, iFont);
    const QFontMetrics& metrics = uilib_detail::MetricsOf(font);
    QString text = FromGbk(pstrText ? pstrText : "");
    if ((uStyle & DT_WORDBREAK) && maxWidth > 0)
        return LayoutRuns(PlainRuns(text, font, 0), maxWidth, true, [](auto&&...) {});
    return SIZE{metrics.horizontalAdvance(text), metrics.height()};
}

SIZE CRenderEngine::GetHtmlTextSize(CPaintManagerUI* pManager, LPCTSTR pstrText, int iFont,
                                    int maxWidth) {
    std::vector<MarkupRun> runs = ParseMarkup(pManager, pstrText ? pstrText : "", 0, iFont);
    return LayoutRuns(runs, maxWidth, maxWidth > 0, [](auto&&...) {});
}

CDuiString CRenderEngine::GetPlainText(LPCTSTR pstrText) {
    std::string plain;
    std::vector<MarkupState> stack{MarkupState{-1, false, false, false, 0}};
    int space = 0;
    WalkMarkup(
        pstrText ? pstrText : "",
        [&](const char* chars, std::size_t length) { plain.append(chars, length); },
        [&](const std::string& tag) {
            bool lineBreak = false;
            if (!ApplyTag(tag, stack, space, lineBreak)) return false;
            if (lineBreak) plain += '\n';
            return true;
        });
    std::size_t first = plain.find_first_not_of(" \n");
    if (first == std::string::npos) return CDuiString();
    return plain.substr(first, plain.find_last_not_of(" \n") + 1 - first);
}

int CRenderEngine::HitTestText(CPaintManagerUI* pManager, LPCTSTR pstrText, int iFont, int x) {
    const QFontMetrics& metrics = uilib_detail::MetricsOf(FontOf(pManager, iFont));
    QString text = FromGbk(pstrText ? pstrText : "");
    int best = 0;
    for (int i = 1; i <= text.size(); ++i) {
        int mid = (metrics.horizontalAdvance(text.left(i - 1)) +
                   metrics.horizontalAdvance(text.left(i))) /
                  2;
        if (x >= mid) best = i;
    }
    return best;
}

bool CRenderEngine::DrawImageString(CRenderContext& ctx, CPaintManagerUI*, const RECT& rcItem,
                                    LPCTSTR pStrImage, LPCTSTR pStrModify) {
    if (!pStrImage || !*pStrImage) return false;
    ImageDescription image;
    ReadImageAttributes(pStrImage, image);
    if (pStrModify) ReadImageAttributes(pStrModify, image);
    QSvgRenderer* drawing = uilib_detail::SkinDrawing(image.file);
    const QPixmap* pixmap = drawing ? nullptr : uilib_detail::SkinImage(image.file);
    if (!drawing && !pixmap) return false;
    QRect dest = ToQRect(rcItem);
    if (image.hasDest)
        dest = QRect(rcItem.left + image.dest.left, rcItem.top + image.dest.top,
                     image.dest.GetWidth(), image.dest.GetHeight());
    QPainter& painter = ctx.painter();
    painter.save();
    painter.setOpacity(std::clamp(image.fade, 0, 255) / 255.0);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QRect source = image.hasSource || !pixmap ? ToQRect(image.source) : pixmap->rect();
    if (drawing)
        drawing->render(&painter, QRectF(dest));
    else if (image.corner.left || image.corner.top || image.corner.right || image.corner.bottom)
        DrawNinePatch(painter, dest, *pixmap, source, image.corner);
    else
        painter.drawPixmap(dest, *pixmap, source);
    painter.restore();
    return true;
}

CRenderClip::CRenderClip(CRenderContext& ctx, const RECT& rc, int roundX, int roundY) : m_ctx(ctx) {
    QPainter& painter = ctx.painter();
    painter.save();
    if (roundX > 0 || roundY > 0) {
        QPainterPath path;
        path.addRoundedRect(ToQRect(rc), roundX / 2.0, roundY / 2.0);
        painter.setClipPath(path, Qt::IntersectClip);
    } else {
        painter.setClipRect(ToQRect(rc), Qt::IntersectClip);
    }
}

CRenderClip::~CRenderClip() {
    m_ctx.painter().restore();
}

DWORD ParseColor(LPCTSTR pstrValue) {
    if (!pstrValue) return 0;
    while (*pstrValue == ' ') ++pstrValue;
    const char* digits = pstrValue;
    if (*digits == '#')
        ++digits;
    else if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits += 2;
    char* end = nullptr;
    unsigned long value = std::strtoul(digits, &end, 16);
    // Six digits are an opaque colour; eight carry their own alpha.
    if (end - digits == 6) value |= 0xFF000000UL;
    return static_cast<DWORD>(value);
}

RECT ParseRect(LPCTSTR pstrValue) {
    RECT rc;
    if (!pstrValue) return rc;
    char* end = nullptr;
    rc.left = static_cast<int>(std::strtol(pstrValue, &end, 10));
    if (*end == ',') rc.top = static_cast<int>(std::strtol(end + 1, &end, 10));
    if (*end == ',') rc.right = static_cast<int>(std::strtol(end + 1, &end, 10));
    if (*end == ',') rc.bottom = static_cast<int>(std::strtol(end + 1, &end, 10));
    return rc;
}

SIZE ParseSize(LPCTSTR pstrValue) {
    SIZE size;
    if (!pstrValue) return size;
    char* end = nullptr;
    size.cx = static_cast<int>(std::strtol(pstrValue, &end, 10));
    if (*end == ',') size.cy = static_cast<int>(std::strtol(end + 1, &end, 10));
    return size;
}

bool ParseBool(LPCTSTR pstrValue) {
    return pstrValue && (std::strcmp(pstrValue, "true") == 0 || std::strcmp(pstrValue, "1") == 0);
}

RECT IntersectRects(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}
