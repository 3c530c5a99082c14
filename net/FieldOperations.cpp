#include "FieldOperations.h"

#include "TextLimit.h"

std::string FieldOperations::readField(ControlId id, std::size_t size)
{
    return TextLimit::cutToWholeCharacters(readWholeField(id), size == 0 ? 0 : size - 1);
}
