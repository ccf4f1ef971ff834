#include "ble/GattNames.h"

#include <cstring>

#include "core/WideString.h"

const wchar_t BluetoothBaseUuid[] = L"{0000%04X-0000-1000-8000-00805F9B34FB}";

namespace {

struct ShortRow {
  USHORT uuid;
  const wchar_t* name;
};

struct LongRow {
  const wchar_t* text;  // braces, upper-case hexadecimal digits
  const wchar_t* name;
};

// The names are the ones the program has always shown, misspellings included.
const ShortRow kShortRows[] = {
    {0x1800, L"org.bluetooth.service.generic_access"},
    {0x1801, L"org.bluetooth.service.generic_attribute"},
    {0x1802, L"org.bluetooth.service.immediate_alert"},
    {0x1803, L"org.bluetooth.service.link_loss"},
    {0x1804, L"org.bluetooth.service.tx_power"},
    {0x1805, L"org.bluetooth.service.current_time"},
    {0x1806, L"org.bluetooth.service.reference_time_update"},
    {0x1807, L"org.bluetooth.service.next_dst_change"},
    {0x1808, L"org.bluetooth.service.glucose"},
    {0x1809, L"org.bluetooth.service.health_thermometer"},
    {0x180A, L"org.bluetooth.service.device_information"},
    {0x180D, L"org.bluetooth.service.heart_rate"},
    {0x180E, L"org.bluetooth.service.phone_alert_status"},
    {0x180F, L"org.bluetooth.service.battery_service"},
    {0x1810, L"org.bluetooth.service.blood_pressure"},
    {0x1811, L"org.bluetooth.service.alert_notification"},
    {0x1812, L"org.bluetooth.service.human_interface_device"},
    {0x1813, L"org.bluetooth.service.scan_parameters"},
    {0x1814, L"org.bluetooth.service.running_speed_and_cadence"},
    {0x1816, L"org.bluetooth.service.cycling_speed_and_cadence"},
    {0x1818, L"org.bluetooth.service.cycling_power"},
    {0x1819, L"org.bluetooth.service.location_and_navigation"},
    {0x2800, L"org.bluetooth.attribute.gatt.primary_service_declaration"},
    {0x2801, L"org.bluetooth.attribute.gatt.secondary_service_declaration"},
    {0x2802, L"org.bluetooth.attribute.gatt.include_declaration"},
    {0x2803, L"org.bluetooth.attribute.gatt.characteristic_declaration"},
    {0x2900, L"org.bluetooth.descriptor.gatt.characteristic_extended_properties"},
    {0x2901, L"org.bluetooth.descriptor.gatt.characteristic_user_description"},
    {0x2902, L"org.bluetooth.descriptor.gatt.client_characteristic_configuration"},
    {0x2903, L"org.bluetooth.descriptor.gatt.server_characteristic_configuration"},
    {0x2904, L"org.bluetooth.descriptor.gatt.characteristic_presentation_format"},
    {0x2905, L"org.bluetooth.descriptor.gatt.characteristic_aggregate_format"},
    {0x2906, L"org.bluetooth.descriptor.valid_range"},
    {0x2907, L"org.bluetooth.descriptor.external_report_reference"},
    {0x2908, L"org.bluetooth.descriptor.report_reference"},
    {0x2A00, L"org.bluetooth.characteristic.gap.device_name"},
    {0x2A01, L"org.bluetooth.characteristic.gap.appearance"},
    {0x2A02, L"org.bluetooth.characteristic.gap.peripheral_privacy_flag"},
    {0x2A03, L"org.bluetooth.characteristic.gap.reconnection_address"},
    {0x2A04, L"org.bluetooth.characteristic.gap.peripheral_preferred_connection_parameters"},
    {0x2A05, L"org.bluetooth.characteristic.gatt.service_changed"},
    {0x2A06, L"org.bluetooth.characteristic.alert_level"},
    {0x2A07, L"org.bluetooth.characteristic.tx_power_level"},
    {0x2A08, L"org.bluetooth.characteristic.date_time"},
    {0x2A09, L"org.bluetooth.characteristic.day_of_week"},
    {0x2A0A, L"org.bluetooth.characteristic.day_date_time"},
    {0x2A0C, L"org.bluetooth.characteristic.exact_time_256"},
    {0x2A0D, L"org.bluetooth.characteristic.dst_offset"},
    {0x2A0E, L"org.bluetooth.characteristic.time_zone"},
    {0x2A0F, L"org.bluetooth.characteristic.local_time_information"},
    {0x2A11, L"org.bluetooth.characteristic.time_with_dst"},
    {0x2A12, L"org.bluetooth.characteristic.time_accuracy"},
    {0x2A13, L"org.bluetooth.characteristic.time_source"},
    {0x2A14, L"org.bluetooth.characteristic.reference_time_information"},
    {0x2A16, L"org.bluetooth.characteristic.time_update_control_point"},
    {0x2A17, L"org.bluetooth.characteristic.time_update_state"},
    {0x2A18, L"org.bluetooth.characteristic.glucose_measurement"},
    {0x2A19, L"org.bluetooth.characteristic.battery_level"},
    {0x2A1C, L"org.bluetooth.characteristic.temperature_measurement"},
    {0x2A1D, L"org.bluetooth.characteristic.temperature_type"},
    {0x2A1E, L"org.bluetooth.characteristic.intermediate_temperature"},
    {0x2A21, L"org.bluetooth.characteristic.measurement_interval"},
    {0x2A22, L"org.bluetooth.characteristic.boot_keyboard_input_report"},
    {0x2A23, L"org.bluetooth.characteristic.system_id"},
    {0x2A24, L"org.bluetooth.characteristic.model_number_string"},
    {0x2A25, L"org.bluetooth.characteristic.serial_number_string"},
    {0x2A26, L"org.bluetooth.characteristic.firmware_revision_string"},
    {0x2A27, L"org.bluetooth.characteristic.hardware_revision_string"},
    {0x2A28, L"org.bluetooth.characteristic.software_revision_string"},
    {0x2A29, L"org.bluetooth.characteristic.manufacturer_name_string"},
    {0x2A2A, L"org.bluetooth.characteristic.ieee_11073-20601_regulatory_certification_data_list"},
    {0x2A2B, L"org.bluetooth.characteristic.current_time"},
    {0x2A31, L"org.bluetooth.characteristic.scan_refresh"},
    {0x2A32, L"org.bluetooth.characteristic.boot_keyboard_output_report"},
    {0x2A33, L"org.bluetooth.characteristic.boot_mouse_input_report"},
    {0x2A34, L"org.bluetooth.characteristic.glucose_measurement_context"},
    {0x2A35, L"org.bluetooth.characteristic.blood_pressure_measurement"},
    {0x2A36, L"org.bluetooth.characteristic.intermediate_blood_pressure"},
    {0x2A37, L"org.bluetooth.characteristic.heart_rate_measurement"},
    {0x2A38, L"org.bluetooth.characteristic.body_sensor_location"},
    {0x2A39, L"org.bluetooth.characteristic.heart_rate_control_point"},
    {0x2A3F, L"org.bluetooth.characteristic.alert_status"},
    {0x2A40, L"org.bluetooth.characteristic.ringer_control_point"},
    {0x2A41, L"org.bluetooth.characteristic.ringer_setting"},
    {0x2A42, L"org.bluetooth.characteristic.alert_category_id_bit_mask"},
    {0x2A43, L"org.bluetooth.characteristic.alert_category_id"},
    {0x2A44, L"org.bluetooth.characteristic.alert_notification_control_point"},
    {0x2A45, L"org.bluetooth.characteristic.unread_alert_status"},
    {0x2A46, L"org.bluetooth.characteristic.new_alert"},
    {0x2A47, L"org.bluetooth.characteristic.supported_new_alert_category"},
    {0x2A48, L"org.bluetooth.characteristic.supported_unread_alert_category"},
    {0x2A49, L"org.bluetooth.characteristic.blood_pressure_feature"},
    {0x2A4A, L"org.bluetooth.characteristic.hid_information"},
    {0x2A4B, L"org.bluetooth.characteristic.report_map"},
    {0x2A4C, L"org.bluetooth.characteristic.hid_control_point"},
    {0x2A4D, L"org.bluetooth.characteristic.report"},
    {0x2A4E, L"org.bluetooth.characteristic.protocol_mode"},
    {0x2A4F, L"org.bluetooth.characteristic.scan_interval_window"},
    {0x2A50, L"org.bluetooth.characteristic.pnp_id"},
    {0x2A51, L"org.bluetooth.characteristic.glucose_feature"},
    {0x2A52, L"org.bluetooth.characteristic.record_access_control_point"},
    {0x2A53, L"org.bluetooth.characteristic.rsc_measurement"},
    {0x2A54, L"org.bluetooth.characteristic.rsc_feature"},
    {0x2A55, L"org.bluetooth.characteristic.sc_control_point"},
    {0x2A5B, L"org.bluetooth.characteristic.csc_measurement"},
    {0x2A5C, L"org.bluetooth.characteristic.csc_feature"},
    {0x2A5D, L"org.bluetooth.characteristic.sensor_location"},
    {0x2A64, L"org.bluetooth.characteristic.cycling_power_vector"},
    {0x2A66, L"org.bluetooth.characteristic.cycling_power_control_point"},
    {0x2A68, L"org.bluetooth.characteristic.navigation"},
    {0x2A6A, L"org.bluetooth.characteristic.ln_feature"},
    {0x2A63, L"org.blueeooth.cycling_power_measurement"},
    {0x2A65, L"org.bluteooth.characteristic.cycling_power_feature"},
    {0x2A67, L"org.bluetooth.location_and_speed"},
    {0x2A69, L"org.bluetooth.position_quality"},
    {0x2A6B, L"org.bluetooth.ln_control_point"},
    {0xFFA0, L"TI Accelerometer Service"},
    {0xFFA1, L"TI Accelerometer Enable"},
    {0xFFA2, L"TI Accelerometer Range"},
    {0xFFA3, L"TI Accelerometer X-Coordinate"},
    {0xFFA4, L"TI Accelerometer Y-Coordinate"},
    {0xFFA5, L"TI Accelerometer Z-Coordinate"},
    {0xFFAF, L"TI Accelerometer Data"},
    {0xFFE0, L"TI Push Buttons"},
    {0xFFE1, L"TI Push Buttons Notification"},
};

const LongRow kLongRows[] = {
    {L"{F000AA00-0451-4000-B000-000000000000}", L"TI IR Sensor"},
    {L"{F000AA01-0451-4000-B000-000000000000}", L"TI IR Sensor Temperature Data"},
    {L"{F000AA02-0451-4000-B000-000000000000}", L"TI IR Sensor turn on/off"},
    {L"{F000AA10-0451-4000-B000-000000000000}", L"TI Accelerometer"},
    {L"{F000AA11-0451-4000-B000-000000000000}", L"TI Accelerometer Data"},
    {L"{F000AA12-0451-4000-B000-000000000000}", L"TI Accelerometer Config"},
    {L"{F000AA13-0451-4000-B000-000000000000}", L"TI Accelerometer Period"},
    {L"{F000AA20-0451-4000-B000-000000000000}", L"TI Humidity Sensor"},
    {L"{F000AA21-0451-4000-B000-000000000000}", L"TI Humidity Sensor Data"},
    {L"{F000AA22-0451-4000-B000-000000000000}", L"TI Humidity Sensor turn on/off"},
    {L"{F000AA30-0451-4000-B000-000000000000}", L"TI Magnetometer"},
    {L"{F000AA31-0451-4000-B000-000000000000}", L"TI Magnetometer Data"},
    {L"{F000AA32-0451-4000-B000-000000000000}", L"TI Magnetometer Config"},
    {L"{F000AA33-0451-4000-B000-000000000000}", L"TI Magnetometer Period"},
    {L"{F000AA40-0451-4000-B000-000000000000}", L"TI Barometer"},
    {L"{F000AA41-0451-4000-B000-000000000000}", L"TI Barometer Data"},
    {L"{F000AA42-0451-4000-B000-000000000000}", L"TI Barometer Config"},
    {L"{F000AA43-0451-4000-B000-000000000000}", L"TI Barometer Calibration Data"},
    {L"{F000AA50-0451-4000-B000-000000000000}", L"TI Gyroscope"},
    {L"{F000AA51-0451-4000-B000-000000000000}", L"TI Gyroscope Data"},
    {L"{F000AA52-0451-4000-B000-000000000000}", L"TI Gyroscope Config"},
    {L"{F000AA60-0451-4000-B000-000000000000}", L"TI Test Service"},
    {L"{F000AA61-0451-4000-B000-000000000000}", L"TI Test Service Data"},
    {L"{F000AA62-0451-4000-B000-000000000000}", L"TI Test Service Config"},
    {L"{F000FFC0-0451-4000-B000-000000000000}", L"TI OAD"},
    {L"{F000FFC1-0451-4000-B000-000000000000}", L"TI OAD Image Notify"},
    {L"{F000FFC2-0451-4000-B000-000000000000}", L"TI OAD Image Block Request"},
    {L"{24545000-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.service.Tunnel"},
    {L"{24545001-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.service.SimpleSensor"},
    {L"{24546000-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.unit.None"},
    {L"{24546001-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.unit.PercentLEL"},
    {L"{24546002-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.unit.Percent"},
    {L"{24546003-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.unit.ppm"},
    {L"{24546004-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.unit.millirems/hour"},
    {L"{24546005-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.unit.mg/m3"},
    {L"{24546006-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.unit.PercentCH4"},
    {L"{24546007-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.unit.PercentLEL/m"},
    {L"{24546008-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.unit.ppm/m"},
    {L"{24546009-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.unit.\u00B5mol/mol"},
    {L"{2454600A-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.unit.\u00B5mol/mol/m"},
    {L"{24546400-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.descriptor.RangeandStep"},
    {L"{24546800-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.characteristic.TunnelName"},
    {L"{24546801-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.characteristic.TunnelComm"},
    {L"{24546802-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.characteristic.TunnelSize"},
    {L"{24546803-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.characteristic.ProtocolName"},
    {L"{24546804-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.characteristic.ProtocolVersion"},
    {L"{24546805-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.characteristic.SensorLabel"},
    {L"{24546806-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.characteristic.Available"},
    {L"{24546807-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.characteristic.SensorValue"},
    {L"{24546808-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.characteristic.DecimalPosition"},
    {L"{24546809-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.characteristic.SensorUnits"},
    {L"{2454680A-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.characteristic.SensorState"},
    {L"{2454680B-8B85-11E4-8FBD-0002A5D5C51B}", L"msa.characteristic.SensorIndex"},
};

const GUID kBaseUuid = {0x00000000, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};

const wchar_t* FindShortName(USHORT uuid) {
  for (const ShortRow& row : kShortRows) {
    if (row.uuid == uuid) return row.name;
  }
  return nullptr;
}

const wchar_t* FindLongName(const WideString& text) {
  for (const LongRow& row : kLongRows) {
    if (text.CompareNoCase(row.text) == 0) return row.name;
  }
  return nullptr;
}

}  // namespace

int GattUuidTextOrName(const BTH_LE_UUID& uuid, WideString& out, int textOnly) {
  int written;
  if (uuid.IsShortUuid) {
    written = out.Format(BluetoothBaseUuid, static_cast<unsigned>(uuid.Value.ShortUuid));
  } else {
    const GUID& g = uuid.Value.LongUuid;
    written = out.Format(L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                         static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2),
                         static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2],
                         g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  }
  if (!written) return 0;
  if (textOnly) return 1;
  const wchar_t* name = uuid.IsShortUuid ? FindShortName(uuid.Value.ShortUuid) : FindLongName(out);
  if (name && !out.Assign(name)) return 0;
  return 1;
}

GUID GattUuidToGuid(const BTH_LE_UUID& uuid) {
  if (!uuid.IsShortUuid) return uuid.Value.LongUuid;
  GUID guid = kBaseUuid;
  guid.Data1 = uuid.Value.ShortUuid;
  return guid;
}

BTH_LE_UUID GattShortUuid(USHORT value) {
  BTH_LE_UUID uuid;
  memset(&uuid, 0, sizeof uuid);
  uuid.IsShortUuid = TRUE;
  uuid.Value.ShortUuid = value;
  return uuid;
}

BTH_LE_UUID GattLongUuid(const GUID& value) {
  BTH_LE_UUID uuid;
  memset(&uuid, 0, sizeof uuid);
  uuid.IsShortUuid = FALSE;
  uuid.Value.LongUuid = value;
  return uuid;
}

bool GattUuidEquals(const BTH_LE_UUID& a, const BTH_LE_UUID& b) {
  if (!a.IsShortUuid != !b.IsShortUuid) return false;
  if (a.IsShortUuid) return a.Value.ShortUuid == b.Value.ShortUuid;
  return memcmp(&a.Value.LongUuid, &b.Value.LongUuid, sizeof(GUID)) == 0;
}

bool GattUuidMatches(const BTH_LE_UUID& uuid, const wchar_t* wanted) {
  if (!wanted) return false;
  WideString text;
  if (GattUuidTextOrName(uuid, text, 1) && text.CompareNoCase(wanted) == 0) return true;
  return GattUuidTextOrName(uuid, text, 0) && text.CompareNoCase(wanted) == 0;
}
