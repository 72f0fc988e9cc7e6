#pragma once

#include <QLatin1String>

// What the client fixes of the cloud service: the two path families below the base address and
// the endpoint paths within them, written once for the client, its callers and the simulator.
// Paths carry no leading slash; a "...Prefix" path is followed by its argument.
namespace Contract {

// Families: "https://" + base address + family + endpoint path.
inline constexpr QLatin1String CloudApi("/cloudapi/");
inline constexpr QLatin1String FaxApi("/faxapi/");

// Below CloudApi.
inline constexpr QLatin1String Hello("kvusers/v1/hello");
inline constexpr QLatin1String LoginDeviceDetails("kvusers/v1/get_orvalo_login_device_details");
inline constexpr QLatin1String CompanyDevices("kvusers/v1/get_company_devices");
inline constexpr QLatin1String ContactByPhoneNumberPrefix("kvusers/v1/get_contact_by_phonenumber/");
inline constexpr QLatin1String ContactsByName("kvusers/v1/get_contacts_by_name");
inline constexpr QLatin1String TenantByPartyIdPrefix("kvusers/v1/get_tenant_by_partyid/");
inline constexpr QLatin1String CheckToken("kvusers/v1/check_token");

// Below FaxApi.
inline constexpr QLatin1String SendFax("faxcdrs/v1/sendfax");
inline constexpr QLatin1String FaxViewPrefix("faxcdrs/v1/view?callextref=");

} // namespace Contract
