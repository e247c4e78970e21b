#include "fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace tarnwick::ui {

namespace {

QString songFamily() {
    static const QString chosen = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char16_t* wanted :
             {u"宋体", u"SimSun", u"AR PL SungtiL GB", u"Noto Serif CJK SC"}) {
            const QString family = QString::fromUtf16(wanted);
            if (installed.contains(family, Qt::CaseInsensitive))
                return family;
        }
        const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        return chinese.isEmpty() ? QString() : chinese.first();
    }();
    return chosen;
}

} // namespace

QFont SongFont(qreal pointSize) {
    QFont font;
    const QString family = songFamily();
    if (!family.isEmpty())
        font.setFamilies({family});
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

} // namespace tarnwick::ui
