#include "net/FieldOperations.h"

#include "text/NarrowEncoding.h"
#include "text/TextLimit.h"

std::string FieldOperations::readField(ControlId id, std::size_t size)
{
    return TextLimit::cutToWholeCharacters(readWholeField(id), size == 0 ? 0 : size - 1, NarrowEncoding::process());
}
