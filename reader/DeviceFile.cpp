#include "DeviceFile.h"

void AddParam(std::vector<std::unique_ptr<TRecType>>& list, int32_t id, const std::string& name,
              int32_t valType)
{
    auto r = std::make_unique<TRecType>();
    r->ID = id;
    r->Name = name;
    r->ValType = valType;
    list.push_back(std::move(r));
}

void AddListParam(std::vector<std::unique_ptr<TRecType>>& list, int32_t id, const std::string& name,
                  const std::string& listText)
{
    auto values = std::make_unique<std::vector<TValueStr>>(ParseValueList(listText));
    auto r = std::make_unique<TRecType>();
    r->ID = id;
    r->Name = name;
    r->ValType = 256;
    r->Values = std::move(values);
    list.push_back(std::move(r));
}
