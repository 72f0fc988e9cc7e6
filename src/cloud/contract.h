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

// Plain-text answers.
inline constexpr QLatin1String HelloAnswer("Hello");
inline constexpr QLatin1String TokenValid("Yes");
inline constexpr QLatin1String TokenInvalid("No");

// Members of the login and directory request bodies: the directory choice and its sort key.
namespace Request {
inline constexpr QLatin1String ExternalDirectory("external_directory");
inline constexpr QLatin1String InternalDirectory("internal_directory");
inline constexpr QLatin1String SeparateCorporateDirectory("separate_corporate_directory");
inline constexpr QLatin1String IncludeUserPhones("include_user_phones");
inline constexpr QLatin1String SortBy("sortby");
inline constexpr QLatin1String Name("name"); // contacts by name
} // namespace Request

// Members of the login reply.
namespace Login {
inline constexpr QLatin1String User("user"); // object with the three below
inline constexpr QLatin1String Company("company");
inline constexpr QLatin1String UserName("user");
inline constexpr QLatin1String Token("token"); // optional session token
inline constexpr QLatin1String Devices("devices");
inline constexpr QLatin1String CompanyDevices("company_devices"); // also the directory reply
} // namespace Login

// Members of one device object of "devices".
namespace Device {
inline constexpr QLatin1String DeviceRef("deviceref");
inline constexpr QLatin1String DeviceName("devicename");
inline constexpr QLatin1String LineLabel("linelabel");
inline constexpr QLatin1String ServerIpAddress("serveripaddress");
inline constexpr QLatin1String ExtensionNumber("extensionnumber");
inline constexpr QLatin1String Transport("transport");
inline constexpr QLatin1String UserName("username");
inline constexpr QLatin1String Secret("secret");
inline constexpr QLatin1String Port("port");
inline constexpr QLatin1String Allow("allow");
inline constexpr QLatin1String CallerId("callerid");
inline constexpr QLatin1String VoicemailAccessNum("voicemailaccessnum");
} // namespace Device

// Members of one directory entry of "company_devices", besides the device members it shares
// (server address, extension number, transport, user name, secret, port, allow, caller id).
namespace Directory {
inline constexpr QLatin1String PhoneUserRef("phoneuserref");
inline constexpr QLatin1String FirstName("phoneuserfirstname");
inline constexpr QLatin1String SecondName("phoneusersecondname");
inline constexpr QLatin1String UserPhone("userphone");
inline constexpr QLatin1String DialOutAsUserId("dialoutasuserid");
inline constexpr QLatin1String DialOutAsUserPwd("dialoutasuserpwd");
inline constexpr QLatin1String TenantMode("tenantmode");
inline constexpr QLatin1String DirectoryIndex("directoryindex");
inline constexpr QLatin1String TabHeading("tabheading");
inline constexpr QLatin1String Greeting("greeting");
} // namespace Directory

// Members of one contact result (contacts by number and by name): the contact and its client.
namespace Contact {
inline constexpr QLatin1String Kvcontact("Kvcontact");
inline constexpr QLatin1String Kvclient("Kvclient");
// In "Kvcontact".
inline constexpr QLatin1String FormOfAddress("formofaddress");
inline constexpr QLatin1String ContactName("contactname");
inline constexpr QLatin1String PhoneNumber("phonenumber");
inline constexpr QLatin1String PhoneNumber2("phonenumber2");
inline constexpr QLatin1String FirstName2("firstname2");
inline constexpr QLatin1String SecondName2("secondname2");
inline constexpr QLatin1String EmailAddress("emailaddr");
// In "Kvclient".
inline constexpr QLatin1String ClientName("clientname");
inline constexpr QLatin1String ClientName2("clientname2");
inline constexpr QLatin1String RedmineProjectId("redmineprojectid");
} // namespace Contact

// Members of the tenant reply.
namespace Tenant {
inline constexpr QLatin1String Popupaction("Popupaction"); // object
inline constexpr QLatin1String ShortGreeting("shortgreeting"); // text in "Popupaction"
} // namespace Tenant

// The issue tracker (a Redmine server, its own address): the issue list of one project, sorted by
// update time, authenticated by an API key header. Address: "https://" + tracker address +
// IssuesPath + "?" + ProjectId + "=" + id + "&" + Sort.
namespace Redmine {
inline constexpr QLatin1String IssuesPath("/issues.json");
inline constexpr QLatin1String ProjectId("project_id");
inline constexpr QLatin1String Sort("sort=updated_on");
inline constexpr QLatin1String ApiKeyHeader("X-Redmine-API-Key");
// Reply members.
inline constexpr QLatin1String Issues("issues"); // array of issue objects
inline constexpr QLatin1String Id("id"); // number
inline constexpr QLatin1String UpdatedOn("updated_on"); // "yyyy-MM-ddTHH:mm:ssZ"
inline constexpr QLatin1String Status("status"); // object with "name"
inline constexpr QLatin1String StatusName("name");
inline constexpr QLatin1String Subject("subject");
} // namespace Redmine

} // namespace Contract
