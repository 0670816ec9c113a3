// The Qt Test programs read the user's folders as the program's start-up does, when their
// application object is made: after a main that sets folders of its own has set them.
#include "settings/userfolders.h"

#include <QCoreApplication>

Q_COREAPP_STARTUP_FUNCTION(InitUserFolders)
