#include "UpdateSettings.h"

UpdateSettings& TheUpdateSettings() {
    static UpdateSettings settings;
    return settings;
}
