// libFuzzer target: the data file reader takes any bytes.
#include "core/files/DataFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const DataFileContents c = parseDataFile(bytes);
    for (const QStringList &r : c.records)
        if (r.size() != kDataFields)
            std::abort();
    if (c.records.size() > 0 && !c.hasUnit)
        std::abort();

    // The incremental reader sees the same file and always moves forward.
    DataFileReader reader(bytes);
    qsizetype records = 0, last = -1;
    for (DataFileReader::Item it; (it = reader.next()) != DataFileReader::Item::End;) {
        if (reader.position() <= last)
            std::abort();
        last = reader.position();
        records += it == DataFileReader::Item::Record;
    }
    if (records != c.records.size())
        std::abort();

    // What was read is written back as a grid dump and reads back the same.
    QVector<QStringList> grid{dataFileHeadings(c.celsius)};
    grid += c.records;
    const DataFileContents again = parseDataFile(gridDumpBytes(c.name, c.sector, c.company, grid));
    if (c.hasUnit && again.records != c.records)
        std::abort();
    return 0;
}
