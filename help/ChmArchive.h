#pragma once

#include "HelpIndex.h"

#include <QByteArray>
#include <QString>

struct chmFile;

// One open compiled HTML help file, read with chmlib. Paths inside the file
// start with "/" ("/topic.htm", "/images/logo.png") and match without regard
// to case. Every failure comes back as a HelpIndex::Problem that says what
// was wrong; nothing here shows anything to the user.
class ChmArchive
{
public:
    // Entries larger than this are refused: no help topic, picture or style
    // sheet comes near it, and a hostile length must not size a buffer.
    static constexpr qint64 MaxEntryBytes = 32 * 1024 * 1024;

    ChmArchive() = default;
    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    // Closes any file open before. A UNC path is opened at its local place
    // (Folders::localPath). Missing, NotChm or Damaged on failure.
    HelpIndex::Problem open(const QString& path);
    void close();
    bool isOpen() const { return m_file != nullptr; }
    QString path() const { return m_path; }

    bool contains(const QString& inner) const;

    // The length of an entry, as the file's directory gives it, without
    // reading it; -1 when there is no such entry.
    qint64 size(const QString& inner) const;

    // The whole entry. Missing entries are TopicMissing; entries that are too
    // large or cannot be read in full are Damaged.
    HelpIndex::Problem read(const QString& inner, QByteArray* data) const;

    // The topic of a context number, through /#IVB and /#STRINGS.
    HelpIndex::Problem topicForContext(quint32 context, HelpIndex::Topic* topic) const;

    // The file's default topic: the one /#SYSTEM names, else index.htm,
    // index.html or default.htm, else the first HTML entry of the file.
    HelpIndex::Problem defaultTopic(HelpIndex::Topic* topic) const;

private:
    QString firstHtmlEntry() const;

    chmFile* m_file = nullptr;
    QString m_path;
};
