#include "info_texts.h"

#include "resources/sample_input.h"

#include <initializer_list>

namespace tarnwick::info {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kRightsHolder = QStringLiteral("版权归 Vetrask Tarnwick 工作室所有");
const QString kTutorialUrl1 = QStringLiteral("https://tarnwick.example.com/tutorial/part1.html");
const QString kTutorialUrl2 = QStringLiteral("https://tarnwick.example.com/tutorial/part2.html");
const QString kToolUrl = QStringLiteral("https://downloads.example.com/font-extraction-tool/");

// Every line ends with CR LF.
QString lines(std::initializer_list<QStringView> list) {
    QString text;
    for (QStringView line : list) {
        text += line;
        text += kCrLf;
    }
    return text;
}

QString header() {
    return lines(
        {kSeparator, u"Tarnwick v" TARNWICK_VERSION_SHORT, MakerNotice(), kRightsHolder, u""});
}

// The sample block shared by the help and format texts: intro, empty line, the main
// window's sample lines, empty line.
QString sampleSection() {
    return lines({kSeparator,
                  u"Tarnwick软件在编辑窗口已经默认输入了各种支持格式的内容，方便初次试用者调试以熟"
                  u"悉软件",
                  u""}) +
           kSampleInput.toString() + kCrLf;
}

const QString kRadixLine1 =
    QStringLiteral("本软件允许\"16进制\"格式或者\"二进制\"格式的数据或者文本的输入，通过软件的选择"
                   "，输出用户需求的位数的Mif文件。");
const QString kRadixLine2 = QStringLiteral(
    "但由于某些因素，本软件无法将16进制直接转换为二进制进行相关操作，在此表示歉意。");
const QString kRadixLine3 =
    QStringLiteral("（软件第一版本，雏形出炉，有待优化，日后有时间，一定补上。）");
const QString kSourceLine1 = QStringLiteral(
    "（1）编程环境、数值计算软件包或者其他软件生成的数据，可以直接复制到Tarnwick的编辑窗口。");
const QString kSourceLine2 =
    QStringLiteral("（2）字模提取软件的搭配使用，用Tarnwick的文件打开功能，来读取txt的数据。");
const QString kSourceLine3 =
    QStringLiteral("（3）少量数据的时候，可以直接手动输入Tarnwick编辑窗口。");
const QString kReadability =
    QStringLiteral("您可以在任意位置输入\",\"、\";\"、空格、回车、\"0x\"、\"{\"、\"}"
                   "\"等字符提高数据的可读性，软件会自动进行选择性提取。");

} // namespace

QString MakerNotice() {
    return QStringLiteral("Vetrask 版权所有");
}

QString BannerText() {
    return QStringLiteral("Tarnwick v" TARNWICK_VERSION_SHORT " 转换软件") + kCrLf + MakerNotice() +
           kCrLf + kRightsHolder;
}

QString HelpText() {
    const QString rule8 =
        QStringLiteral("（8）") + kReadability +
        QStringLiteral("除以上七种字符以外，任何有效数据以外的字符，都需要手动删除，软件无法做到如"
                       "此的智能，因此某些字模提取软件中生成的 “/*\"静\"*/”、“const char "
                       "Hzk[][24]=”，  此类信息需要手动删除。") +
        QStringLiteral(
            "数据量较大时，推荐使用支持列编辑的文本编辑器，按住Ctrl键用鼠标纵向选择，即可整理数据的"
            "结构；这类文本编辑器在网上很容易找到，选一款顺手的文本编辑器即可。");
    return header() +
           lines({kSeparator, u"生成Mif文件的条件，需要有一个固定格式的数据或者相应的txt。",
                  u"字符或者图片的字模数据，建议使用字模提取软件生成；波形或者其他有规律的数据，可"
                  u"以用C语言编程环境、数值计算软件包或者其他软件生成。",
                  u""}) +
           lines({kSeparator,
                  u"Vetrask（网名：小塔）在此简单介绍字符字模的提取，其他数据的生成方法就留给读者自"
                  u"己摸索了。",
                  u"字模提取软件有很多，例如字模工具甲、点阵取模工具乙、液晶取模助手丙。",
                  u"推荐使用字模工具甲，它的选项足够灵活，可以直接生成所需的格式。", u""}) +
           lines({kSeparator, u"Tarnwick + 字模提取软件------完美结合。",
                  u"本软件为非商业的个人作品，请尊重作者的权益；感谢字模提取软件和数据生成工具的作"
                  u"者们，希望本软件能填补FPGA设计中Mif文件生成的空白，让FPGA学习者免去批量制作Mif"
                  u"文件的烦恼。",
                  u""}) +
           lines({kSeparator, u"以下讲解软件配合使用的步骤以及注意事项：", u""}) +
           lines({kSeparator, u"一、待转换的数据源提取", kSourceLine1, kSourceLine2, kSourceLine3,
                  u""}) +
           lines({kSeparator, u"二、Tarnwick软件的使用", kRadixLine1, kRadixLine2, kRadixLine3,
                  u""}) +
           lines({kSeparator, u"对于文本的输入，需要遵循固定的格式，如下",
                  u"（1）软件已经通过识别转换，可以在任意位置包含空格“ ”。",
                  u"（2）软件已经通过识别转换，可以在任意位置包含逗号“，”。",
                  u"（3）软件已经通过识别转换，可以在任意位置包含逗号“;”",
                  u"（4）软件已经通过识别转换，可以在任意位置包含逗号“0x”。",
                  u"（5）软件已经通过识别转换，可以在任意位置包含逗号“{”。",
                  u"（6）软件已经通过识别转换，可以在任意位置包含逗号“}”。",
                  u"（7）软件已经通过识别转换，可以包含回车。", rule8, u"", u""}) +
           sampleSection() +
           lines({kSeparator,
                  u"Vetrask（网名：小塔）准备了图文并茂的教程，包括Tarnwick与推荐的字模提取软件的配"
                  u"合使用，请看以下网页：",
                  kTutorialUrl1, kTutorialUrl2, u"", u""}) +
           lines({kSeparator, u"没有推荐的字模提取软件的读者，可以从以下地址下载：", kToolUrl});
}

QString AboutText() {
    return lines({kSeparator, u"* Tarnwick，感谢您的使用", QStringLiteral("* ") + MakerNotice(),
                  u"* 若有好的建议或Bug欢迎联系本人", u"", u"* 以下是编者信息：",
                  u"* 作者：Vetrask", u"* 网名：小塔", u"* 博客：https://blog.example.com/vetrask",
                  u"\thttps://vetrask.example.com/blog",
                  u"* 微博：https://micro.example.com/vetrask", u"* 邮箱：tarnwick@example.com",
                  QStringLiteral("* ") + kRightsHolder, u"", u"* 软件版本：\tREV 1.0",
                  u"* 原创日期：\t2011-08-05", u"* 修改日期：\tXXXX-XX-XX", kSeparator});
}

QString FormatText() {
    return header() +
           lines({kSeparator, u"本软件设置灰常简单，只需要选择Mif数据宽度即可。",
                  u"共有1,4,8,16,32,64,128,256这几种Options可选。",
                  u"软件默认为16bit 的Mif数据宽度。", u""}) +
           lines({kSeparator,
                  u"本软件加入了简单的文件系统，您只需要按上面选择输出Mif文件位宽，软件会自动识别处"
                  u"理Mif的深度，所以，请保证您的输入正确。",
                  u""}) +
           lines({kSeparator, kRadixLine1, kRadixLine2, kRadixLine3, u""}) +
           lines({kSeparator, u"本款软件设计了3种数据输入方式", kSourceLine1, kSourceLine2,
                  kSourceLine3, kReadability, u""}) +
           sampleSection() +
           lines({kSeparator,
                  u"当数据输入完毕，点击“Tarnwick一键转换”，便可在桌面看到生成的\"Vetrask"
                  u".Mif\"。由于软件没有加入文件名识别程序，因此请及时处理桌面生成的\"Vet"
                  u"rask.Mif\"，否则软件会自动覆盖。"});
}

QString DownloadText() {
    return header() +
           lines({kSeparator,
                  u"Mif文件在FPGA开发中用得很多，尤其是液晶显示和数据处理方面，但一直没有专门转换这"
                  u"种文件的软件，鄙人便根据这些需求写了本软件，希望对大家有用。",
                  u"", u""}) +
           lines({kSeparator, u"推荐的字模提取软件下载地址：", kToolUrl, u""}) +
           lines({kSeparator, u"关于Tarnwick软件的转换及使用教程，请看以下网址：", kTutorialUrl1,
                  kTutorialUrl2, u"", u""}) +
           lines({kSeparator, u"C语言初学者可以看看这本适合入门的C语言教程：",
                  u"https://books.example.com/c-for-beginners/", u""}) +
           lines({kSeparator, u"C语言的串口通信例程，对初学者很有帮助：",
                  u"https://code.example.com/c-serial-port-examples/", u""}) +
           lines({kSeparator, u"鄙人雅作于此，仅希望对同道中人有助，谢谢！"});
}

} // namespace tarnwick::info
