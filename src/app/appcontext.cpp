#include "app/appcontext.h"

namespace shelvix::app {

bool AppContext::MyTableFilter(const db::RecordView& record) const {
    if (!SearchOn || !BuildFilter)
        return true;
    return BuildFilter(record);
}

DatabaseSettings AppContext::settingsToWrite() const {
    DatabaseSettings out = database;
    if (browseMode)
        out.fieldEditing = rememberedFieldEditing;
    return out;
}

void AppContext::takeDatabaseSettings(const DatabaseSettings& settings) {
    database = settings;
    if (browseMode) {
        rememberedFieldEditing = database.fieldEditing;
        database.fieldEditing = false;
    }
}

} // namespace shelvix::app
