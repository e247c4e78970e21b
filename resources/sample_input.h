#pragma once

#include <QStringView>

namespace tarnwick {

/// The input box's initial content: the same 32 digits in five notations, 16 lines each
/// ending with CR LF. The help and format windows show the same lines.
inline constexpr QStringView kSampleInput = u"00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff\r\n"
                                            u"00,11,22,33,44,55,66,77,88,99,aa,bb,cc,dd,ee,ff\r\n"
                                            u"\r\n"
                                            u"0x00,0x11,0x22,0x33,0x44,0x55,0x66,0x77,\r\n"
                                            u"0x88 0x99 0xaa 0xbb 0xcc 0xdd 0xee 0xff\r\n"
                                            u"\r\n"
                                            u"{00112233445566778899aabbccddeeff};\r\n"
                                            u"\r\n"
                                            u"0\r\n"
                                            u"01\r\n"
                                            u"122\r\n"
                                            u"3344\r\n"
                                            u"55667\r\n"
                                            u"78899a\r\n"
                                            u"abbccdd\r\n"
                                            u"{{eeff}}\r\n";

} // namespace tarnwick
