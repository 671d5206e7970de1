#include "device/detect/link_steps.h"

namespace detect {

bool partnerPresent(const std::vector<SupportedInterface>& rows, std::size_t row)
{
    if (row >= rows.size() || !rows[row].paired || rows[row].partner >= rows.size())
        return false;
    const auto& partner = rows[rows[row].partner];
    return partner.present && !partner.path.empty() && partner.partner == row;
}

std::size_t identityRow(const std::vector<SupportedInterface>& rows, std::size_t row)
{
    if (row < rows.size() && rows[row].paired && isReceiverType(rows[row].typeId) &&
        rows[row].partner < rows.size())
        return rows[row].partner;
    return row;
}

std::optional<ArrivalAction> decideArrival(const std::vector<SupportedInterface>& rows,
                                           std::size_t row)
{
    if (row >= rows.size())
        return std::nullopt;
    if (rows[row].role == InterfaceRole::Consumer)
        return ArrivalAction::OpenListener;
    if (partnerPresent(rows, row))
        return isCableType(rows[row].typeId) ? ArrivalAction::SwitchLink
                                             : ArrivalAction::StayOnCable;
    return ArrivalAction::OpenChannel;
}

std::optional<RemovalAction> decideRemoval(const std::vector<SupportedInterface>& rows,
                                           std::size_t row)
{
    if (row >= rows.size())
        return std::nullopt;
    if (rows[row].role == InterfaceRole::Consumer)
        return RemovalAction::CloseListener;
    if (partnerPresent(rows, row))
        return isCableType(rows[row].typeId) ? RemovalAction::SwitchLink : RemovalAction::Nothing;
    return RemovalAction::CloseChannel;
}

std::optional<int> linkModeForRow(const SupportedInterface& row)
{
    if (isReceiverType(row.typeId))
        return 2;
    if (isCableType(row.typeId))
        return 1;
    return std::nullopt;
}

std::wstring_view arrivalLine(DeviceTypeId type)
{
    if (isKeyboard(type))
        return L"添加一个键盘设备";
    if (isMouse(type))
        return L"添加一个鼠标设备";
    return L"添加一个鼠标垫设备";
}

std::wstring_view removalLine(DeviceTypeId type)
{
    if (isKeyboard(type))
        return L"删除一个键盘设备";
    if (isMouse(type))
        return L"删除一个鼠标设备";
    return L"删除一个鼠标垫设备";
}

std::wstring_view lostLine(DeviceTypeId type)
{
    if (isKeyboard(type))
        return L"键盘设备丢失";
    if (isMouse(type))
        return L"鼠标设备丢失";
    return {};
}

} // namespace detect
