#include <QFile>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace quellix {

namespace {

// The desktop shows the icon at any size: it must be well-formed SVG on a square canvas.
TEST(Icon, IsWellFormedSquareSvg) {
    QFile file(QStringLiteral(QUELLIX_DATA_DIR "/quellix.svg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.name(), QStringLiteral("svg"));
    EXPECT_EQ(xml.namespaceUri(), QStringLiteral("http://www.w3.org/2000/svg"));
    EXPECT_EQ(xml.attributes().value("viewBox"), QStringLiteral("0 0 48 48"));
    while (!xml.atEnd())
        xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
}

} // namespace

} // namespace quellix
