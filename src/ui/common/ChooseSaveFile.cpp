#include "ui/common/App.h"
#include "ui/common/Commands.h"

void ChooseSaveFile(App &app)
{
    const Prompts::FileChoice c = app.prompts().saveFile(texts::kDataFilter, true);
    if (!c.accepted)
        return;
    app.state().RecordFilePath = c.fileName;
    app.state().FileChosen = !c.fileTitle.isEmpty();
}
