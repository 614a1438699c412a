// Reads a workbook with JExcelApi and writes a copy of it.
//   java -cp /usr/share/java/jxl.jar JxlCopy.java IN.xls OUT.xls
import java.io.File;
import jxl.Workbook;
import jxl.write.WritableWorkbook;

public class JxlCopy {
    public static void main(String[] args) throws Exception {
        Workbook in = Workbook.getWorkbook(new File(args[0]));
        try {
            WritableWorkbook out = Workbook.createWorkbook(new File(args[1]), in);
            out.write();
            out.close();
        } finally {
            in.close();
        }
    }
}
