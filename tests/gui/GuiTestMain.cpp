// The GUI tests share one QApplication under the offscreen platform.
#include <QApplication>

#include <gtest/gtest.h>

namespace {

QtMessageHandler g_standardHandler = nullptr;

// The offscreen platform warns about every fixed-size window; nothing else
// it says is dropped.
void QuietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("does not support propagateSizeHints")))
        return;
    g_standardHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv) {
    g_standardHandler = qInstallMessageHandler(QuietOffscreen);
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
