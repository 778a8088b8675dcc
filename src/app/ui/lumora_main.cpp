#include <QApplication>

#include "app/ui/UiRegistry.h"
#include "app/KindRegistry.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    RegisterAllKinds();
    RegisterAllViewers();
    return 0;
}
