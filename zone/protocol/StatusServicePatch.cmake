# Post-processing of the generated serialisers (run with -DFILE=<...C.cpp>), where the
# readers must behave as the service's clients expect.
#
# The generated readers of SOAP-encoded arrays ask the runtime to check the array's declared
# item type ("SOAP-ENC:arrayType") against the type handed in by the caller, but the pointer
# readers hand in none, so a wrong item type would go through. Every array reader checks
# against its own item type instead; "xsd:anyType", "xsd:ur-type" and a missing arrayType
# stay accepted by the runtime.
file(READ ${FILE} text)
set(arrays
  "ArrayOfAuctionBidInfo=ss:AuctionBidInfo"
  "ArrayOfBuyerDataInfo=ss:BuyerDataInfo"
  "ArrayOfStatusPageInfo=ss:StatusPageInfo"
  "ArrayOfItemInfo=ss:ItemInfo"
  "ArrayOfPackageInfo=ss:PackageInfo"
  "ArrayOf_xsd_int=xsd:int")
foreach(pair ${arrays})
  string(REPLACE "=" ";" parts "${pair}")
  list(GET parts 0 array)
  list(GET parts 1 item)
  set(pattern "(soap_in_${array}\\(struct soap \\*soap, const char \\*tag, ${array} \\*a, const char \\*type\\)[^}]*)soap_match_array\\(soap, type\\)")
  string(REGEX MATCH "${pattern}" found "${text}")
  if(NOT found)
    message(FATAL_ERROR "array reader of ${array} not found in ${FILE}: soapcpp2 output changed")
  endif()
  string(REGEX REPLACE "${pattern}" "\\1soap_match_array(soap, \"${item}\")" text "${text}")
endforeach()

# The reader of a Fault's detail takes only an element named "fault" as the decoded object.
# The detail's first element, whatever its name, goes to the general element reader, which
# picks the type by xsi:type or by the element's name (a fault class or a detail wrapper).
set(detail_call "soap_getelement(soap, \"fault\", &a->__type)")
string(FIND "${text}" "${detail_call}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "detail reader not found in ${FILE}: soapcpp2 output changed")
endif()
string(REPLACE "${detail_call}" "soap_getelement(soap, NULL, &a->__type)" text "${text}")

# A named fault class is also sent in the wrapped form, its members inside a "fault" child:
# <ss:PageAlreadyOpenedFault><fault><pageInfo>...</pageInfo></fault></ss:PageAlreadyOpenedFault>.
# The element is read as the class (its name is the class's type), so the class reader takes a
# "fault" child as holding its members and reads them into the same object.
set(named_faults AuctionDoesNotExistFault BidDoesNotExistFault IllegalArgumentFault PageAlreadyOpenedFault
  PageClosedFault PageDoesNotExistFault PageNotOpenedFault PagesDoNotHaveCommonBidsFault ServiceUnavailableFault
  StatusesDisabledFault UnsupportedOperationFault UserAuthenticationFault UserIsNotPageOwnerFault
  UserIsNotSellerInAuctionFault)
set(skip_member "\t\t\tif (soap->error == SOAP_TAG_MISMATCH)\n\t\t\t\tsoap->error = soap_ignore_element(soap);")
foreach(name ${named_faults})
  set(reader "soap_in_ss__${name}(struct soap *soap, const char *tag, ss__${name} *a, const char *type)\n{")
  string(FIND "${text}" "${reader}" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "reader of ss__${name} not found in ${FILE}: soapcpp2 output changed")
  endif()
  string(SUBSTRING "${text}" 0 ${start} before)
  string(SUBSTRING "${text}" ${start} -1 after)
  string(FIND "${after}" "${skip_member}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "member loop of ss__${name} not found in ${FILE}: soapcpp2 output changed")
  endif()
  string(SUBSTRING "${after}" 0 ${at} head)
  string(SUBSTRING "${after}" ${at} -1 tail)
  set(text "${before}${head}\t\t\tif (soap->error == SOAP_TAG_MISMATCH && soap_in_ss__${name}(soap, \"fault\", a, NULL))\n\t\t\t\tcontinue;\n${tail}")
endforeach()

# Array writers: every array element carries xsi:type "SOAP-ENC:Array" beside its
# "SOAP-ENC:arrayType", and an array without items still declares its item count 0.
string(REGEX MATCHALL "char \\*t = a->__ptr \\? soap_putsizesoffsets" sized "${text}")
list(LENGTH sized sized_count)
if(NOT sized_count EQUAL 6)
  message(FATAL_ERROR "expected 6 array writers in ${FILE}, found ${sized_count}: soapcpp2 output changed")
endif()
string(REGEX REPLACE "char \\*t = a->__ptr \\? (soap_putsizesoffsets\\([^;]*\\)) : NULL;" "char *t = \\1;" text "${text}")
string(REPLACE "if (soap_array_begin_out(soap, tag, id, t, NULL))"
  "if (soap_set_attr(soap, \"xsi:type\", \"SOAP-ENC:Array\", 1) || soap_array_begin_out(soap, tag, id, t, NULL))"
  text "${text}")
file(WRITE ${FILE} "${text}")
