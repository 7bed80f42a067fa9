#pragma once

#include "AgentsList.h"

#include <QList>

#include <functional>
#include <utility>

// The model rights file and the agents' rights files (shared-folder mode).
namespace AgentRights {

// Fills Parametres.ModelRights from the model file in the program folder.
void GetModel_Ini();

// Fills columns 2 to 10 of every row from the agents' files.
void GetAgentxx_Ini(AgentsList::Rows& rows);

// Writes the rows marked changed; true when the rights of a row were written.
// stored, when given, is told the index of each row once its file is written.
bool SetAgentxx_Ini(AgentsList::Rows& rows, const std::function<void(std::size_t)>& stored = {});

// The rows marked changed whose files SetAgentxx_Ini could not write now,
// each with the file and the reason, found without writing anything.
QList<std::pair<std::size_t, QString>> UnwritableAgentFiles(const AgentsList::Rows& rows);

// The model rights file in the program folder, "model.ini" in any case.
QString ModelFile();

// "agent" + the number in at least three digits + ".ini".
QString AgentFileName(int agent);

} // namespace AgentRights
