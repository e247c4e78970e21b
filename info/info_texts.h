#pragma once

#include <QString>

namespace tarnwick::info {

/// A separator line of the information texts: 64 asterisks.
inline constexpr QStringView kSeparator =
    u"****************************************************************";

/// The maker's notice that follows each window caption.
QString MakerNotice();
/// The three banner lines shown between the two logos, joined by CR LF.
QString BannerText();

/// The window texts; every line ends with CR LF, the last one included.
QString HelpText();
QString AboutText();
QString FormatText();
QString DownloadText();

} // namespace tarnwick::info
