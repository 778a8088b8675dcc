// A viewer dialog borrowing a test tool's control instead of a shared widget.
#include <QDialog>

#include "testtools/ui/PictureView.h"
#include "viewers/LightProfileFile.h"
#include "widgets/ui/BasicTestControl.h"
