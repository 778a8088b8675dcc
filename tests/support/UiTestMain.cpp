// Entry point of every UI test program: real widgets on the offscreen platform.
#include <QApplication>
#include <gtest/gtest.h>

#include "app/KindRegistry.h"
#include "app/ui/UiRegistry.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterAllKinds();
    RegisterAllViewers();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
