// The one file-system call of the workbook writer, for the native build: the targets and tests
// here build workbooks in memory and never save one.
#include "SafeFile.h"

void WriteWholeFile(const std::string& fileName, const std::string&)
{
    throw EInOutError(5, "no files in the native build: " + fileName);
}
