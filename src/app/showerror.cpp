#include "app/showerror.h"

#include "app/prompter.h"
#include "db/textcodec.h"

namespace shelvix::app {

void showError(Prompter& prompter, const std::exception& error) {
    prompter.error(db::errorText(error));
}

} // namespace shelvix::app
