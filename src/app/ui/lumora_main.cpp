#include "app/ui/ViewerApp.h"

int main(int argc, char** argv)
{
    return RunLumora(argc, argv);
}
