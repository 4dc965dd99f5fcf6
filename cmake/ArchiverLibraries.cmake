# The archiver libraries of the common interface, written once: each row is
# the library's name (its Windows file name without ".DLL"), the prefix of
# its entry names and the engine family of archivers/ that implements it
# ("-" when libarchive reads none of its formats).
set(ZEL_ARCHIVER_TABLE
  "UNLHA32:Unlha:Lha"
  "UNZIP32:UnZip:Zip"
  "ZIP32J:UnZip:Zip"
  "LMZIP32:Unzip:-"
  "CAB32:Cab:Cab"
  "UNARJ32J:Unarj:-"
  "TAR32:Tar:Tar"
  "UNRAR32:Unrar:Rar"
  "BGA32:Bga:-"
  "YYZ32:Yz1:-"
  "YZ1:Yz1:-"
  "7-zip32:SevenZip:SevenZip")

# The kinds of entry every library has, then the password entries that only
# the YZ1 family has.
set(ZEL_ARCHIVER_KINDS
  Command PackCommand OpenArchive CloseArchive FindFirst FindNext ExtractMem CheckArchive
  SetOwnerWindowEx KillOwnerWindowEx GetWriteTimeEx GetCreateTimeEx GetAccessTimeEx
  GetOriginalSizeEx GetCompressedSizeEx GetArchiveType SetEnumMembersProc64
  ClearEnumMembersProc64)
set(ZEL_ARCHIVER_PASSWORD_KINDS SetDefaultPassword PasswordDialog)

# Splits a row into ARCHIVER_NAME, ARCHIVER_PREFIX and ARCHIVER_FAMILY.
function(zel_archiver_row row)
  string(REPLACE ":" ";" parts "${row}")
  list(GET parts 0 name)
  list(GET parts 1 prefix)
  list(GET parts 2 family)
  set(ARCHIVER_NAME ${name} PARENT_SCOPE)
  set(ARCHIVER_PREFIX ${prefix} PARENT_SCOPE)
  set(ARCHIVER_FAMILY ${family} PARENT_SCOPE)
endfunction()

# The file a library has on this system: the name the binding loads on
# Windows, the shared object it maps that name to elsewhere.
function(zel_archiver_file_name name out)
  if(ZEL_PLATFORM_BACKEND STREQUAL "win32")
    if(name STREQUAL "7-zip32")
      set(${out} "7-zip32.dll" PARENT_SCOPE)
    else()
      set(${out} "${name}.DLL" PARENT_SCOPE)
    endif()
  else()
    string(TOLOWER "${name}" lower)
    set(${out} "lib${lower}.so" PARENT_SCOPE)
  endif()
endfunction()

# The exported name of entry `kind` in library `name` with `prefix`, empty
# when the library has no such entry: the packing ZIP libraries name their
# command "Zip" and have no extracting one, the ZIP family spells one time
# entry "UnzipGetWriteTimeEx", only YZ1 has the password entries.
function(zel_archiver_entry_name name prefix kind out)
  set(zip_family UNZIP32 ZIP32J LMZIP32)
  set(packing ZIP32J LMZIP32)
  set(entry ${prefix}${kind})
  if(kind STREQUAL "Command")
    set(entry ${prefix})
    if(name STREQUAL "ZIP32J")
      set(entry "")
    endif()
  elseif(kind STREQUAL "PackCommand")
    set(entry "")
    if(name IN_LIST packing)
      set(entry Zip)
    endif()
  elseif(kind STREQUAL "GetWriteTimeEx" AND name IN_LIST zip_family)
    set(entry UnzipGetWriteTimeEx)
  elseif(kind IN_LIST ZEL_ARCHIVER_PASSWORD_KINDS AND NOT prefix STREQUAL "Yz1")
    set(entry "")
  endif()
  set(${out} "${entry}" PARENT_SCOPE)
endfunction()
