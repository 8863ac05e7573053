#include "window/resources/resources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE has to be used outside any namespace.
void initPortevalResources()
{
    Q_INIT_RESOURCE(resources);
}
