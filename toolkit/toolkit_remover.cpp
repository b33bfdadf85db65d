#include "toolkit/toolkit_remover.h"

#include <utility>

toolkit_remover::toolkit_remover(std::wstring vendor_folder, std::wstring suite_folder,
                                 std::wstring suite_service_name, std::wstring suite_service_exe)
    : m_vendor_folder(std::move(vendor_folder)),
      m_suite_folder(std::move(suite_folder)),
      m_suite_service_name(std::move(suite_service_name)),
      m_suite_service_exe(std::move(suite_service_exe)) {}

toolkit_remover::~toolkit_remover() = default;
