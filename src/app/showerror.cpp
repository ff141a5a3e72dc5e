#include "app/showerror.h"

#include "app/prompter.h"
#include "core/wholefile.h"
#include "db/textcodec.h"

namespace shelvix::app {

void showError(Prompter& prompter, const std::exception& error) {
    prompter.error(db::errorText(error));
}

void showRefusedFiles(Prompter& prompter) {
    const std::vector<std::string> refused = core::takeRefusals();
    if (refused.empty())
        return;
    QString text = refused.size() == 1 ? QStringLiteral("A file was not read:")
                                       : QStringLiteral("These files were not read:");
    for (const std::string& line : refused)
        text += QStringLiteral("\n- ") + db::errorText(line);
    prompter.message({MessageKind::Warning, QStringLiteral("Warning"), text});
}

} // namespace shelvix::app
