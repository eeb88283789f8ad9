// The message table and the two dialog templates as the program unpacks
// them: every text after the conversion from code page 850, byte for byte,
// and every control the templates create, as Windows creates it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "extract/inflate/inflate.h"
#include "portable/message_table_layout.h"
#include "startup/message_blobs.h"
#include "startup/message_table.h"
#include "startup/own_file.h"
#include "startup/run_state.h"
#include "startup/stub_support.h"
#include "ui/meter/meter.h"
#include "uiauto.h"

namespace {

using stub_test::Ansi;

struct ExpectedText {
    int id;
    const char *utf8;
    bool prefix_only;  // the text goes on with the maker's address
};

// As the program must show them (UTF-8 here; compared in the ANSI code page).
const ExpectedText EXPECTED_TEXTS[] = {
    {0, "Esta aplicación de extracción automática está incompleta.\nVuelva a crear el archivo e inténtelo de nuevo.", false},
    {1, "Introduzca el disco %d en la unidad %s.", false},
    {2, "Introduzca el último disco en la unidad %s.", false},
    {3, "No hay ningún disco o el disco de la unidad no es válido.\nIntroduzca el disco número %d.", false},
    {4, "Falta el disco de la unidad\no su etiqueta es incorrecta.\nIntroduzca el disco número %d.", false},
    {5, "No se ha especificado contraseña", false},
    {6, "Se ha especificado una contraseña incorrecta", false},
    {7, "NOAUTO", false},
    {8, "Instalar", false},
    {9, "WAIT", false},
    {10, "&Terminado", false},
    {11, "¿Está seguro de que el programa de instalación ha terminado? Haga clic en Sí para salir, o en No para continuar esperando a que finalice.", false},
    {12, "Si cancela ahora, no se borrarán los archivos temporales. ¿Está seguro de que desea cancelar ahora?", false},
    {13, "AUTO", false},
    {14, "Este archivo Zip autoextraíble de 32 bits requiere Windows 95, 98, NT o 2000.", false},
    {15, "No se pudo crear una carpeta temporal para extraer el archivo.\n\nPosible causa: no dispone de los permisos adecuados para crear archivos o carpetas en la carpeta temporal. Consulte con su administrador del sistema o de la red.", false},
    {16, "No se pudo ejecutar %s.", false},
    {17, "%s aun está en ejecución; si cancela ahora no se borrarán los archivos temporales. ¿Desea cancelar de todos modos?", false},
    {18, "Error, no se ha definido ningún comando.", false},
    {19, "Borrando archivos temporales", false},
    {20, "¿Desea cancelar la descompresión", false},
    {21, "El archivo %s está siendo utilizado por el sistema. Omitiendo...", false},
    {22, "Descompresión cancelada", false},
    {23, "Error %d al ejecutar el comando %s", false},
    {24, "Error al cambiar a la carpeta de \"Descomprimir en\"", false},
    {25, "El archivo %s ya existe. ¿Desea sobrescribir el archivo?", false},
    {26, "No se especificó ninguna carpeta.", false},
    {27, "\\TEMP", false},
    {28, "Este archivo debe ser utilizado en Windows 95, 98, NT, 2000 o un sistema que admita nombres de archivo largos.\nEn la versión de Windows que se está ejecutando actualmente, los nombres largos de archivo probablemente quedarán cortados y es posible que no funcione correctamente.\n\n¿Desea continuar de todos modos?", false},
    {29, "TEMP=", false},
    {30, "%d archivo(s) correctamente descomprimidos", false},
    {31, "Para descomprimir todos los archivos de %s en la carpeta especificada, pulse el botón Descomprimir.", false},
    {32, "Talvok", false},
    {33, "extensiones", false},
    {34, "Cuando termine la &descompresión ejecutar: ", false},
    {35, "Cuando termine la &descompresión abrir: ", false},
    {37, "No se encontró Talvok en su sistema.\n\nTalvok es una reconocida utilidad de compresión de archivos que combina la comodidad de Windows con el uso de archivos comprimidos Zip.  Talvok incorpora las funciones de compresión y descompresión en una interfaz fácil de utilizar en la que basta con arrastrar y soltar los archivos.  Dispone de versiones de evaluación completamente funcionales en el sitio Web de Talvok: ", true},
    {38, "No se ha podido crear el archivo: %s", false},
    {39, "Método de compresión no admitido", false},
    {40, "Zip dañado: archivo %s: CRC erróneo %08lx (debería ser %08lx). Posible causa: error de transferencia de archivo.", false},
    {41, "Encabezado de Zip no válido. Posible causa: error de transferencia de archivo.", false},
    {42, "No se pudo crear \"%s\": descompresión cancelada.", false},
    {43, "Error en el nombre de archivo especificado en la línea de comandos.", false},
    {44, "Descomprimiendo %s", false},
    {45, "Error al escribir en %s. Posible causa: disco lleno.", false},
    {46, "Error al leer %s. Posible causa: disco defectuoso o error de transferencia de archivos.", false},
    {47, "Error de E/S en el archivo. Posible causa: error de transferencia de archivo.", false},
    {48, "Para descomprimir todos los archivos de %s, pulse el botón \"Descomprimir\". Los archivos se descomprimirán en la carpeta especificada en el campo \"Descomprimir en carpeta\". Si la carpeta no existe se creará automáticamente.\n\nTambién puede descomprimir este archivo con una utilidad de compresión estándar como Talvok.", false},
    {49, "El archivo Zip está dañado o truncado o se modificó desde su creación.   Si descargó este archivo, vuelva a descargarlo de nuevo.", false},
    {50, "%s\n\n%s\n", false},
    {56, "La unidad %s no es válida; la descompresión se cancelará.", false},
    {57, "No se puede usar el archivo de comandos %s\nWindows no tiene un programa asociado para ejecutarlo.", false},
    {58, "TMP=", false},
    {59, "Descomprimir en carpeta:", false},
    {60, "TEMP", false},
    {61, "El archivo Zip contiene nombres más largos que los permitidos por\nWindows. Talvok Self-Extractor no puede procesar este\narchivo Zip.", false},
    {62, "este archivo de extracción automática", false},
    {63, "La carpeta seleccionada contiene caracteres\nno admitidos. Seleccione una carpeta diferente.", false},
};

class MessageTableTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ResetRunState();
        AppInstance = GetModuleHandleA(nullptr);
        PrepareDecoder();
        UnpackMessageTable();
        RegisterMeterClass(AppInstance);
    }
};

TEST_F(MessageTableTest, EveryTextComesOutAsTheProgramShowsIt)
{
    for (const ExpectedText &expected : EXPECTED_TEXTS) {
        std::string text = Message(static_cast<StringId>(expected.id));
        std::string want = Ansi(expected.utf8);
        if (expected.prefix_only) {
            EXPECT_EQ("http://www.talvok.example/", text.substr(want.size())) << "the maker's address";
            text = text.substr(0, want.size());
        }
        EXPECT_EQ(uiauto::Printable(want), uiauto::Printable(text)) << "StringId " << expected.id;
    }
    for (int id : {36, 51, 52, 53, 55})
        EXPECT_STREQ("", Message(static_cast<StringId>(id))) << "StringId " << id;
    EXPECT_NE('\0', Message(MSG_PROGRAM_ABOUT)[0]) << "the program's own about text";
}

TEST_F(MessageTableTest, OffsetsFollowTheTexts)
{
    EXPECT_EQ(0u, MessageOffsets[0]);
    for (int id = 1; id <= MESSAGE_COUNT; id++)
        EXPECT_EQ(MessageOffsets[id - 1] + lstrlenA(Message(static_cast<StringId>(id - 1))) + 1, MessageOffsets[id])
            << "entry " << id;
    EXPECT_LE(MessageOffsets[MAIN_DIALOG_ENTRY], static_cast<uint32_t>(BufferSizes[SIZE_MESSAGE_TABLE] - 2));
}

struct ExpectedControl {
    int id;
    const char *class_name;
    DWORD style;
    RECT units;  // x, y, cx, cy in dialog units
    const char *utf8;
};

INT_PTR CALLBACK IgnoreEverything(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// Creates the dialog from a template and compares its caption and controls.
void ExpectDialog(const void *dialog_template, const char *caption_utf8, const RECT &units,
                  const ExpectedControl *controls, size_t count)
{
    // The template need not be aligned where it lies: copy it, as the program does.
    void *block = AllocateLockedBlock(MAIN_DIALOG_COPY_BYTES);
    CopyMemory(block, dialog_template, MAIN_DIALOG_COPY_BYTES);
    HWND dialog = CreateDialogIndirectParamA(AppInstance, static_cast<LPCDLGTEMPLATEA>(block), nullptr,
                                             IgnoreEverything, 0);
    ASSERT_NE(nullptr, dialog) << "error " << GetLastError();
    EXPECT_EQ(Ansi(caption_utf8), uiauto::WindowText(dialog));
    // Windows adds WS_CLIPSIBLINGS to every window with a caption.
    EXPECT_EQ(0x90C800CCu & ~WS_VISIBLE,
              static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)) & ~(WS_VISIBLE | WS_CLIPSIBLINGS));
    RECT client_units = {0, 0, units.right, units.bottom};
    MapDialogRect(dialog, &client_units);
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client_units.right, client.right);
    EXPECT_EQ(client_units.bottom, client.bottom);

    uiauto::WindowInfo info = uiauto::Describe(dialog);
    ASSERT_EQ(count, info.controls.size()) << uiauto::FormatWindow(info, true);
    for (size_t i = 0; i < count; i++) {
        const ExpectedControl &want = controls[i];
        const uiauto::ControlInfo &got = info.controls[i];
        SCOPED_TRACE("control " + std::to_string(want.id));
        EXPECT_EQ(want.id, got.id);
        EXPECT_EQ(0, lstrcmpiA(want.class_name, got.class_name.c_str())) << got.class_name;
        // A dialog with DS_3DLOOK turns a control's WS_BORDER into a sunken edge.
        DWORD style = want.style;
        if (style & WS_BORDER) {
            style &= ~WS_BORDER;
            EXPECT_TRUE(GetWindowLongA(got.hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
        }
        EXPECT_EQ(style, got.style) << std::hex << got.style;
        // Position and size convert to pixels separately, as the dialog manager does.
        RECT origin = {want.units.left, want.units.top, 0, 0};
        RECT size = {0, 0, want.units.right, want.units.bottom};
        MapDialogRect(dialog, &origin);
        MapDialogRect(dialog, &size);
        EXPECT_EQ(origin.left, got.rect.left);
        EXPECT_EQ(origin.top, got.rect.top);
        EXPECT_EQ(origin.left + size.right, got.rect.right);
        EXPECT_EQ(origin.top + size.bottom, got.rect.bottom);
        if (!(want.style & SS_ICON) || lstrcmpiA(want.class_name, "Static"))
            EXPECT_EQ(Ansi(want.utf8), got.text);
    }
    DestroyWindow(dialog);
    FreeLockedBlock(block);
}

TEST_F(MessageTableTest, MainDialogTemplateMakesItsControls)
{
    const ExpectedControl controls[] = {
        {120, "Static", 0x50000003, {6, 6, 20, 20}, ""},
        {IDOK, "Button", 0x50010001, {215, 6, 50, 14}, "&Instalar"},
        {IDCANCEL, "Button", 0x50010000, {215, 26, 50, 14}, "Cancelar"},
        {112, "Button", 0x50010000, {215, 46, 50, 14}, "&Acerca de"},
        {101, "Static", 0x50020080, {30, 6, 180, 40}, ""},
        {109, "Static", 0x50000082, {30, 50, 180, 8}, ""},
        {201, "Meter", 0x50800000, {6, 47, 203, 13}, ""},
    };
    ExpectDialog(MainDialogTemplate(), "", {90, 132, 271, 66}, controls, sizeof controls / sizeof controls[0]);
}

TEST_F(MessageTableTest, PasswordDialogTemplateMakesItsControls)
{
    uint8_t unpacked[MAIN_DIALOG_COPY_BYTES] = {};  // a dialog copy's size; the template decodes into less
    ASSERT_EQ(BlobResult::Decoded,
              DecodeBlob(PasswordDialogBlob, PasswordDialogBlobBytes, unpacked, PASSWORD_TEMPLATE_MAX_BYTES));
    const ExpectedControl controls[] = {
        {401, "Static", 0x50020000, {6, 4, 177, 32},
         "Este archivo Zip autoextraíble está protegido con contraseña.\n\nEscriba la &contraseña:"},
        {402, "Edit", 0x508100A0, {6, 38, 174, 12}, ""},
        {IDOK, "Button", 0x50010001, {35, 56, 50, 14}, "Aceptar"},
        {IDCANCEL, "Button", 0x50010000, {101, 56, 50, 14}, "Cancelar"},
    };
    ExpectDialog(unpacked, "Talvok Self-Extractor: contraseña", {71, 71, 186, 76}, controls,
                 sizeof controls / sizeof controls[0]);
}

}  // namespace
