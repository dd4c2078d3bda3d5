// Comparing a drawn image with a reference PNG in the test's data folder.
//
// When the drawing changes on purpose, run the test program with HALYX_REGENERATE_GOLDEN=1 to
// write the references anew, and look at the new PNGs before committing them. On a mismatch the
// drawn image and a diff image (mismatching pixels in magenta) are written to the folder given.
#pragma once

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace halyx::test {

// A channel may differ this much (antialiased line edges move with the raster engine), and this
// share of the pixels may differ beyond it.
constexpr int kGoldenChannelTolerance = 24;
constexpr double kGoldenMismatchBudget = 0.002;

// channelTolerance and mismatchBudget 0: the image must be the reference to the pixel.
inline void ExpectMatchesGolden(const QImage& drawn, const std::string& referenceFolder,
                                const std::string& name, const std::string& mismatchFolder,
                                int channelTolerance = kGoldenChannelTolerance,
                                double mismatchBudget = kGoldenMismatchBudget) {
    const std::string reference = referenceFolder + "/" + name;
    if (std::getenv("HALYX_REGENERATE_GOLDEN") != nullptr) {
        ASSERT_TRUE(drawn.save(QString::fromStdString(reference)));
        return;
    }
    const QImage expected =
        QImage(QString::fromStdString(reference)).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(expected.isNull()) << "missing reference " << reference;
    ASSERT_EQ(expected.size(), drawn.size());
    const QImage image = drawn.convertToFormat(QImage::Format_RGB32);
    QImage diff = image.copy();
    qint64 mismatches = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* a = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        const QRgb* b = reinterpret_cast<const QRgb*>(expected.constScanLine(y));
        QRgb* d = reinterpret_cast<QRgb*>(diff.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (std::abs(qRed(a[x]) - qRed(b[x])) > channelTolerance ||
                std::abs(qGreen(a[x]) - qGreen(b[x])) > channelTolerance ||
                std::abs(qBlue(a[x]) - qBlue(b[x])) > channelTolerance) {
                ++mismatches;
                d[x] = qRgb(255, 0, 255);
            }
        }
    }
    const double share = double(mismatches) / (double(image.width()) * image.height());
    if (share > mismatchBudget) {
        image.save(QString::fromStdString(mismatchFolder + "/drawn_" + name));
        diff.save(QString::fromStdString(mismatchFolder + "/diff_" + name));
    }
    EXPECT_LE(share, mismatchBudget) << mismatches << " pixels differ from " << reference;
}

} // namespace halyx::test
