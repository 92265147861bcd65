#include "base/MEnumerations.h"

#include <iterator>

namespace
{

// clang-format off
constexpr const char* kThreadPriority[] = {
  "Idle", "Lowest", "Low", "Normal", "High", "Highest", "Critical",
};

constexpr const char* kControlType[] = {
  "empty", "nobackground", "window", "panel", "control", "static", "button", "captionbutton", "checkbox",
  "tracker", "rotator", "knob", "hscrollbar", "vscrollbar", "edit", "switcher", "progressbar", "listbox",
  "treecontrol", "tabset", "menu", "menubar",
};

constexpr const char* kCaptionType[] = {
  "none", "small", "normal", "large",
};

constexpr const char* kStdCursor[] = {
  "arrow", "wait", "cross", "ibeam", "link", "no", "pen", "eraser", "selection", "move", "size", "arrowud",
  "arrowlr", "hollow",
};

constexpr const char* kHorizontalObjectLayout[] = {
  "Left", "Center", "Right",
};
constexpr const char* kVerticalObjectLayout[] = {
  "Top", "Center", "Bottom",
};
constexpr const char* kCheckBoxState[] = {
  "off", "on", "grayed",
};
constexpr const char* kModalValue[] = {
  "none", "ok", "cancel", "yes", "no",
};
constexpr const char* kStdColor[] = {
  "text", "shape", "highlight", "light", "dark", "red", "green", "blue",
};
constexpr const char* kStdFont[] = {
  "normal", "bold", "italic", "small", "large1", "large2", "large3", "large4",
};
constexpr const char* kStdBitmap[] = {
  "yes", "no", "notice", "question", "exclamation",
};

constexpr const char* kStdIcon[] = {
  "left", "right", "up", "down", "add", "delete", "moveup", "movedown", "duplicate", "report", "list",
  "eye", "plus", "minus", "mul", "div", "close", "maximize", "unmaximize", "minimize", "help", "collapse",
  "load", "save", "saveas", "deletefile", "directory", "directoryup", "cancel", "ok", "default", "enable",
  "pencil", "selector", "eraser", "arrow", "clipboardcopy", "clipboardpaste", "process", "play", "pause",
  "zoomin", "zoomout", "zoomdefault", "bullet1", "bullet2", "bullet3", "checkboxoff", "checkboxon",
  "checkboxgrayed", "www", "mail", "phone",
};

constexpr const char* kLanguageNames[] = {
  "Neutral", "Afrikaans", "Albanian", "Amharic", "Arabic", "Armenian", "Assamese", "Azerbaijani", "Basque",
  "Belarusian", "Bengali", "Bosnian", "Breton", "Bulgarian", "Burmese", "Catalan", "Cherokee", "Chinese",
  "Corsican", "Croatian", "Czech", "Danish", "Divehi", "Dutch", "Dzongkha", "English", "Esperanto",
  "Estonian", "Faroese", "Filipino", "Finnish", "French", "Frisian", "Galician", "Georgian", "German",
  "Greek", "Greenlandic", "Guarani", "Gujarati", "Hausa", "Hawaiian", "Hebrew", "Hindi", "Hungarian",
  "Icelandic", "Igbo", "Indonesian", "Inuktitut", "Irish", "Italian", "Japanese", "Javanese", "Kannada",
  "Kashmiri", "Kazakh", "Khmer", "Kinyarwanda", "Konkani", "Korean", "Kurdish", "Kyrgyz", "Lao", "Latin",
  "Latvian", "Lithuanian", "Luxembourgish", "Macedonian", "Malagasy", "Malay", "Malayalam", "Maltese",
  "Manipuri", "Maori", "Marathi", "Mongolian", "Nepali", "Norwegian", "Occitan", "Odia", "Oromo", "Pashto",
  "Persian", "Polish", "Portuguese", "Punjabi", "Quechua", "Romanian", "Romansh", "Russian", "Sami",
  "Samoan", "Sanskrit", "Scottish Gaelic", "Serbian", "Sesotho", "Setswana", "Shona", "Sindhi", "Sinhala",
  "Slovak", "Slovenian", "Somali", "Spanish", "Sundanese", "Swahili", "Swedish", "Syriac", "Tajik", "Tamil",
  "Tatar", "Telugu", "Thai", "Tibetan", "Tigrinya", "Tongan", "Turkish", "Turkmen", "Ukrainian", "Urdu",
  "Uyghur", "Uzbek", "Venda", "Vietnamese", "Welsh", "Wolof", "Xhosa", "Yakut", "Yi", "Yiddish", "Yoruba",
  "Zulu", "Bashkir", "Chuvash", "Fijian", "Haitian Creole", "Kanuri", "Lingala", "Tsonga", "Twi",
  "Marshallese", "Navajo",
};

constexpr const char* kCountryNames[] = {
  "Afghanistan", "Aland Islands", "Albania", "Algeria", "American Samoa", "Andorra", "Angola", "Anguilla",
  "Antarctica", "Antigua and Barbuda", "Argentina", "Armenia", "Aruba", "Australia", "Austria",
  "Azerbaijan", "Bahamas", "Bahrain", "Bangladesh", "Barbados", "Belarus", "Belgium", "Belize", "Benin",
  "Bermuda", "Bhutan", "Bolivia", "Bosnia and Herzegovina", "Botswana", "Brazil",
  "British Indian Ocean Territory", "Brunei", "Bulgaria", "Burkina Faso", "Burundi", "Cambodia", "Cameroon",
  "Canada", "Cape Verde", "Cayman Islands", "Central African Republic", "Chad", "Chile", "China",
  "Christmas Island", "Cocos Islands", "Colombia", "Comoros", "Congo", "Congo (Democratic Republic)",
  "Cook Islands", "Costa Rica", "Cote d'Ivoire", "Croatia", "Cuba", "Cyprus", "Czech Republic", "Denmark",
  "Djibouti", "Dominica", "Dominican Republic", "Ecuador", "Egypt", "El Salvador", "Equatorial Guinea",
  "Eritrea", "Estonia", "Ethiopia", "Falkland Islands", "Faroe Islands", "Fiji", "Finland", "France",
  "French Guiana", "French Polynesia", "French Southern Territories", "Gabon", "Gambia", "Georgia",
  "Germany", "Ghana", "Gibraltar", "Greece", "Greenland", "Grenada", "Guadeloupe", "Guam", "Guatemala",
  "Guernsey", "Guinea", "Guinea-Bissau", "Guyana", "Haiti", "Honduras", "Hong Kong", "Hungary", "Iceland",
  "India", "Indonesia", "Iran", "Iraq", "Ireland", "Isle of Man", "Israel", "Italy", "Jamaica", "Japan",
  "Jersey", "Jordan", "Kazakhstan", "Kenya", "Kiribati", "North Korea", "South Korea", "Kuwait",
  "Kyrgyzstan", "Laos", "Latvia", "Lebanon", "Lesotho", "Liberia", "Libya", "Liechtenstein", "Lithuania",
  "Luxembourg", "Macao", "North Macedonia", "Madagascar", "Malawi", "Malaysia", "Maldives", "Mali", "Malta",
  "Marshall Islands", "Martinique", "Mauritania", "Mauritius", "Mayotte", "Mexico", "Micronesia", "Moldova",
  "Monaco", "Mongolia", "Montenegro", "Montserrat", "Morocco", "Mozambique", "Myanmar", "Namibia", "Nauru",
  "Nepal", "Netherlands", "New Caledonia", "New Zealand", "Nicaragua", "Niger", "Nigeria", "Niue",
  "Norfolk Island", "Northern Mariana Islands", "Norway", "Oman", "Pakistan", "Palau", "Palestine",
  "Panama", "Papua New Guinea", "Paraguay", "Peru", "Philippines", "Pitcairn", "Poland", "Portugal",
  "Puerto Rico", "Qatar", "Reunion", "Romania", "Russia", "Rwanda", "Saint Helena", "Saint Kitts and Nevis",
  "Saint Lucia", "Saint Pierre and Miquelon", "Saint Vincent and the Grenadines", "Samoa", "San Marino",
  "Sao Tome and Principe", "Saudi Arabia", "Senegal", "Serbia", "Seychelles", "Sierra Leone", "Singapore",
  "Slovakia", "Slovenia", "Solomon Islands", "Somalia", "South Africa",
  "South Georgia and the South Sandwich Islands", "Spain", "Sri Lanka", "Sudan", "Suriname",
  "Svalbard and Jan Mayen", "Eswatini", "Sweden", "Switzerland", "Syria", "Taiwan", "Tajikistan",
  "Tanzania", "Thailand", "Timor-Leste", "Togo", "Tokelau", "Tonga", "Trinidad and Tobago", "Tunisia",
  "Turkey", "Turkmenistan", "Turks and Caicos Islands", "Tuvalu", "Uganda", "Ukraine",
  "United Arab Emirates", "United Kingdom", "United States", "United States Minor Outlying Islands",
  "Uruguay", "Uzbekistan", "Vanuatu", "Vatican City", "Venezuela", "Vietnam", "Virgin Islands (British)",
  "Virgin Islands (U.S.)", "Wallis and Futuna", "Western Sahara", "Yemen", "Zambia", "Zimbabwe",
};
// clang-format on

template <std::size_t N>
int CountOf(const char* const (&)[N])
{
  return static_cast<int>(N);
}

static_assert(std::size(kThreadPriority) == 7 && std::size(kControlType) == 22 &&
                  std::size(kCaptionType) == 4 && std::size(kStdCursor) == 14 &&
                  std::size(kCheckBoxState) == 3 && std::size(kModalValue) == 5 &&
                  std::size(kStdColor) == 8 && std::size(kStdFont) == 8 && std::size(kStdBitmap) == 5 &&
                  std::size(kStdIcon) == 53 && std::size(kLanguageNames) == 142 &&
                  std::size(kCountryNames) == 241,
              "enumeration lengths are fixed");

} // namespace

#define M_ENUMERATION_TABLE(function, table)                                                                 \
  const MEnumeration& MEnumerations::function()                                                              \
  {                                                                                                          \
    static const MEnumeration s_enumeration(table, CountOf(table));                                          \
    return s_enumeration;                                                                                    \
  }

M_ENUMERATION_TABLE(ThreadPriority, kThreadPriority)
M_ENUMERATION_TABLE(ControlType, kControlType)
M_ENUMERATION_TABLE(CaptionType, kCaptionType)
M_ENUMERATION_TABLE(StdCursor, kStdCursor)
M_ENUMERATION_TABLE(HorizontalObjectLayout, kHorizontalObjectLayout)
M_ENUMERATION_TABLE(VerticalObjectLayout, kVerticalObjectLayout)
M_ENUMERATION_TABLE(CheckBoxState, kCheckBoxState)
M_ENUMERATION_TABLE(ModalValue, kModalValue)
M_ENUMERATION_TABLE(StdColor, kStdColor)
M_ENUMERATION_TABLE(StdFont, kStdFont)
M_ENUMERATION_TABLE(StdBitmap, kStdBitmap)
M_ENUMERATION_TABLE(StdIcon, kStdIcon)
M_ENUMERATION_TABLE(LocaleLanguage, kLanguageNames)
M_ENUMERATION_TABLE(LocaleCountry, kCountryNames)

#undef M_ENUMERATION_TABLE
