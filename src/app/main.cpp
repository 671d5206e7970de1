#include "app/startup.h"

int main()
{
    return app::runHalvek();
}
