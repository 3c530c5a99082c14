#include "net/FieldOperations.h"

#include "net/NarrowEncoding.h"
#include "net/TextLimit.h"

std::string FieldOperations::readField(ControlId id, std::size_t size)
{
    return TextLimit::cutToWholeCharacters(readWholeField(id), size == 0 ? 0 : size - 1, NarrowEncoding::process());
}
