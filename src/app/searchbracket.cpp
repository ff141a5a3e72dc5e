#include "app/searchbracket.h"

namespace shelvix::app {

SearchBracket::Held::~Held() {
    if (bracket_)
        bracket_->steps_.bringBack();
}

SearchBracket::Held SearchBracket::end() {
    if (!searchOn())
        return Held();
    steps_.end();
    return Held(this);
}

} // namespace shelvix::app
